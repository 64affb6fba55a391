#include "connections/table_reader.h"

#include "util/error_report.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace vq::connections {
namespace {

// Ten million rows and more: no machine has such a table, so a size like this
// is a fault of the library that reports it, not a table to allocate for.
constexpr std::uint32_t kLargestTableLength = 256u * 1024 * 1024;

// The room for a table of `size` bytes, twice that to leave room for a table
// that grows between the two calls, all zero: spare room when it is at least
// that and at most four times that, so a table that shrank for good gives its
// pages back. A new room is zeroed whole; a spare one only where its last
// read wrote, which touches no page that read left alone.
TableRoom MakeTableRoom(std::uint32_t size, const wchar_t* tableName, TableRoom* spare)
{
    const auto refuse = [&](const wchar_t* why) {
        return util::AppError(std::wstring(L"Could not read the ") + tableName + L" table: the system reported " +
                              std::to_wstring(size) + L" bytes, " + why);
    };
    if (size > kLargestTableLength) {
        throw refuse(L"more than any table of connections takes");
    }
    const std::size_t words = std::max<std::size_t>(
        1, (static_cast<std::size_t>(size) * 2 + sizeof(std::uint32_t) - 1) / sizeof(std::uint32_t));
    if (spare != nullptr && spare->words && spare->wordCount >= words && spare->wordCount <= 4 * words) {
        TableRoom room = std::move(*spare);
        std::memset(room.words.get(), 0, std::min(room.usedBytes, room.wordCount * sizeof(std::uint32_t)));
        room.usedBytes = 0;
        return room;
    }
    TableRoom room{AllocateTableWords(words), words, 0};
    if (!room.words) {
        throw refuse(L"more than there is memory for");
    }
    return room;
}

template <typename Row>
TableRead<Row> ReadTable(platform::GetExtendedTableFn getTable, std::uint32_t family, int tableClass,
                         const wchar_t* tableName, TableRoom* spare)
{
    TableRead<Row> read;
    if (getTable == nullptr) {
        return read;
    }
    std::uint32_t size = 0;
    if (getTable(nullptr, &size, 0, family, tableClass, 0) !=
        platform::kErrorInsufficientBuffer) {
        return read;
    }

    // The second call is told the room it really has, and says how much of
    // it the table took.
    TableRoom buffer = MakeTableRoom(size, tableName, spare);
    std::uint32_t room = static_cast<std::uint32_t>(
        std::min<std::size_t>(buffer.wordCount * sizeof(std::uint32_t), UINT32_MAX));
    if (getTable(buffer.words.get(), &room, 1, family, tableClass, 0) != platform::kNoError) {
        read.outcome = ReadOutcome::Failed;
        if (spare != nullptr) {
            buffer.usedBytes = buffer.wordCount * sizeof(std::uint32_t);
            *spare = std::move(buffer);
        }
        return read;
    }
    read.outcome = ReadOutcome::Read;
    read.table = TableBuffer<Row>(std::move(buffer), room);
    return read;
}

} // namespace

TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper,
                                                 TableRoom* spare)
{
    return ReadTable<platform::TcpRowOwnerPid>(ipHelper.getExtendedTcpTable, platform::kAfInet,
                                               platform::kTcpTableOwnerPidAll, L"TCP", spare);
}

TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper,
                                                 TableRoom* spare)
{
    return ReadTable<platform::UdpRowOwnerPid>(ipHelper.getExtendedUdpTable, platform::kAfInet,
                                               platform::kUdpTableOwnerPid, L"UDP", spare);
}

TableRead<platform::Tcp6RowOwnerPid> ReadTcp6Table(const platform::IpHelperEntryPoints& ipHelper,
                                                   TableRoom* spare)
{
    return ReadTable<platform::Tcp6RowOwnerPid>(ipHelper.getExtendedTcpTable, platform::kAfInet6,
                                                platform::kTcpTableOwnerPidAll, L"TCPv6", spare);
}

TableRead<platform::Udp6RowOwnerPid> ReadUdp6Table(const platform::IpHelperEntryPoints& ipHelper,
                                                   TableRoom* spare)
{
    return ReadTable<platform::Udp6RowOwnerPid>(ipHelper.getExtendedUdpTable, platform::kAfInet6,
                                                platform::kUdpTableOwnerPid, L"UDPv6", spare);
}

TableRead<platform::TcpRowOwnerModule> ReadTcpModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                          TableRoom* spare)
{
    return ReadTable<platform::TcpRowOwnerModule>(ipHelper.getExtendedTcpTable, platform::kAfInet,
                                                  platform::kTcpTableOwnerModuleAll, L"TCP", spare);
}

TableRead<platform::UdpRowOwnerModule> ReadUdpModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                          TableRoom* spare)
{
    return ReadTable<platform::UdpRowOwnerModule>(ipHelper.getExtendedUdpTable, platform::kAfInet,
                                                  platform::kUdpTableOwnerModule, L"UDP", spare);
}

TableRead<platform::Tcp6RowOwnerModule> ReadTcp6ModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                            TableRoom* spare)
{
    return ReadTable<platform::Tcp6RowOwnerModule>(ipHelper.getExtendedTcpTable, platform::kAfInet6,
                                                   platform::kTcpTableOwnerModuleAll, L"TCPv6", spare);
}

TableRead<platform::Udp6RowOwnerModule> ReadUdp6ModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                            TableRoom* spare)
{
    return ReadTable<platform::Udp6RowOwnerModule>(ipHelper.getExtendedUdpTable, platform::kAfInet6,
                                                   platform::kUdpTableOwnerModule, L"UDPv6", spare);
}

} // namespace vq::connections

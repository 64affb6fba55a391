#include "connections/table_reader.h"

#include "util/error_report.h"

#include <algorithm>
#include <new>
#include <string>

namespace vq::connections {
namespace {

// Ten million rows and more: no machine has such a table, so a size like this
// is a fault of the library that reports it, not a table to allocate for.
constexpr std::uint32_t kLargestTableLength = 256u * 1024 * 1024;

// The buffer for a table of `size` bytes, twice that to leave room for a
// table that grows between the two calls.
std::vector<std::uint32_t> TableRoom(std::uint32_t size, const wchar_t* tableName)
{
    const auto refuse = [&](const wchar_t* why) {
        return util::AppError(std::wstring(L"Could not read the ") + tableName + L" table: the system reported " +
                              std::to_wstring(size) + L" bytes, " + why);
    };
    if (size > kLargestTableLength) {
        throw refuse(L"more than any table of connections takes");
    }
    const std::size_t words = (static_cast<std::size_t>(size) * 2 + sizeof(std::uint32_t) - 1) /
                              sizeof(std::uint32_t);
    try {
        return std::vector<std::uint32_t>(words < 1 ? 1 : words, 0);
    } catch (const std::bad_alloc&) {
        throw refuse(L"more than there is memory for");
    }
}

template <typename Row>
TableRead<Row> ReadTable(platform::GetExtendedTableFn getTable, std::uint32_t family, int tableClass,
                         const wchar_t* tableName)
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
    std::vector<std::uint32_t> buffer = TableRoom(size, tableName);
    std::uint32_t room = static_cast<std::uint32_t>(
        std::min<std::size_t>(buffer.size() * sizeof(std::uint32_t), UINT32_MAX));
    if (getTable(buffer.data(), &room, 1, family, tableClass, 0) != platform::kNoError) {
        read.outcome = ReadOutcome::Failed;
        return read;
    }
    read.outcome = ReadOutcome::Read;
    read.table = TableBuffer<Row>(std::move(buffer), room);
    return read;
}

} // namespace

TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::TcpRowOwnerPid>(ipHelper.getExtendedTcpTable, platform::kAfInet,
                                               platform::kTcpTableOwnerPidAll, L"TCP");
}

TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::UdpRowOwnerPid>(ipHelper.getExtendedUdpTable, platform::kAfInet,
                                               platform::kUdpTableOwnerPid, L"UDP");
}

TableRead<platform::Tcp6RowOwnerPid> ReadTcp6Table(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::Tcp6RowOwnerPid>(ipHelper.getExtendedTcpTable, platform::kAfInet6,
                                                platform::kTcpTableOwnerPidAll, L"TCPv6");
}

TableRead<platform::Udp6RowOwnerPid> ReadUdp6Table(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::Udp6RowOwnerPid>(ipHelper.getExtendedUdpTable, platform::kAfInet6,
                                                platform::kUdpTableOwnerPid, L"UDPv6");
}

} // namespace vq::connections

#include "connections/table_reader.h"

namespace vq::connections {
namespace {

template <typename Row>
TableRead<Row> ReadTable(platform::GetExtendedTableFn getTable, int tableClass)
{
    TableRead<Row> read;
    if (getTable == nullptr) {
        return read;
    }
    std::uint32_t size = 0;
    if (getTable(nullptr, &size, 0, platform::kAfInet, tableClass, 0) !=
        platform::kErrorInsufficientBuffer) {
        return read;
    }

    // Twice the reported size leaves room for a table that grows between the
    // two calls, and the second call is told the room it really has.
    const std::size_t words = (static_cast<std::size_t>(size) * 2 + sizeof(std::uint32_t) - 1) /
                              sizeof(std::uint32_t);
    std::vector<std::uint32_t> buffer(words < 1 ? 1 : words, 0);
    std::uint32_t room = static_cast<std::uint32_t>(buffer.size() * sizeof(std::uint32_t));
    if (getTable(buffer.data(), &room, 1, platform::kAfInet, tableClass, 0) != platform::kNoError) {
        read.outcome = ReadOutcome::Failed;
        return read;
    }
    read.outcome = ReadOutcome::Read;
    read.table = TableBuffer<Row>(std::move(buffer));
    return read;
}

} // namespace

TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::TcpRowOwnerPid>(ipHelper.getExtendedTcpTable,
                                               platform::kTcpTableOwnerPidAll);
}

TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper)
{
    return ReadTable<platform::UdpRowOwnerPid>(ipHelper.getExtendedUdpTable,
                                               platform::kUdpTableOwnerPid);
}

} // namespace vq::connections

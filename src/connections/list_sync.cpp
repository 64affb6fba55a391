#include "connections/list_sync.h"

#include "platform/process.h"

#include <unordered_map>
#include <vector>

namespace vq::connections {
namespace {

// The idle process has no image to ask for.
OwningProcess OwnerOf(const ProcessPathResolver& resolve, std::uint32_t processId)
{
    return resolve && processId != platform::kIdleProcessId ? resolve(processId) : OwningProcess{};
}

EndpointKey EndpointOf(const platform::TcpRowOwnerPid& entry)
{
    return TcpEndpoint(entry);
}
EndpointKey EndpointOf(const platform::UdpRowOwnerPid& entry)
{
    return UdpEndpoint(entry);
}
EndpointKey EndpointOf(const platform::Tcp6RowOwnerPid& entry)
{
    return Tcp6Endpoint(entry);
}
EndpointKey EndpointOf(const platform::Udp6RowOwnerPid& entry)
{
    return Udp6Endpoint(entry);
}

// The state code of an entry; UDP entries have none.
template <typename Row>
std::uint32_t StateOf(const Row& entry)
{
    return entry.state;
}
std::uint32_t StateOf(const platform::UdpRowOwnerPid&)
{
    return 0;
}
std::uint32_t StateOf(const platform::Udp6RowOwnerPid&)
{
    return 0;
}

// The owners of one table's entries. The resolver answers the same for a
// process id throughout a pass, so each id is resolved once per table, not
// once per entry, and an entry costs no copy of its path.
class Owners {
public:
    explicit Owners(const ProcessPathResolver& resolve) : resolve_(resolve) {}

    const OwningProcess& Of(std::uint32_t processId)
    {
        const auto [found, added] = known_.try_emplace(processId);
        if (added) {
            try {
                found->second = OwnerOf(resolve_, processId);
            } catch (...) {
                known_.erase(found);
                throw;
            }
        }
        return found->second;
    }

private:
    const ProcessPathResolver& resolve_;
    std::unordered_map<std::uint32_t, OwningProcess> known_;
};

template <typename Row>
void AppendEntryRow(ConnectionList& list, const EndpointKey& endpoint, const Row& entry, Owners& owners,
                    bool news = false)
{
    list.AppendRow(endpoint, StateOf(entry), owners.Of(entry.owningPid), news);
}

// Matches every entry with the rows that have its endpoint; a matched row
// takes the state of the first entry that matches it. Rows of the protocol
// that no entry matches go, except the selected row. Answers the entries
// that matched no row, in table order.
template <typename Row>
std::vector<std::size_t> MatchRows(ConnectionList& list, const TableBuffer<Row>& table, Protocol protocol)
{
    std::vector<std::size_t> unmatched;
    // The row selected first as the refresh begins is spared, while it is
    // still shown and selected then.
    const auto first = list.FirstSelected();
    const std::optional<EndpointKey> spared = first ? std::optional(list.EndpointOf(*first)) : std::nullopt;
    list.BeginMatch(protocol);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Row entry = table[i];
        // A matched TCP row's State follows the connection.
        if (!list.MatchEndpoint(EndpointOf(entry), StateOf(entry))) {
            unmatched.push_back(i);
        }
    }
    list.EndMatch();
    std::optional<std::size_t> sparedIndex;
    if (spared) {
        list.VisitRowsWithEndpoint(*spared, [&](std::size_t index) {
            if (list.IsSelected(index) && (!sparedIndex || index < *sparedIndex)) {
                sparedIndex = index;
            }
        });
    }
    list.RemoveUnmatchedRows(protocol, sparedIndex);
    return unmatched;
}

template <typename Row>
void SyncRows(ConnectionList& list, const TableBuffer<Row>& table, const ProcessPathResolver& resolve,
              Protocol protocol)
{
    // An IPv4 table without entries is taken for a passing fault of the
    // system and changes nothing. The IPv6 tables are an option, and on many
    // machines they are empty: an empty one is an answer and removes its rows.
    if (table.size() == 0 && !IsIPv6(protocol)) {
        return;
    }
    // Rows the filter passes again and rows added are sorted in once.
    BatchUpdate batch(list);
    const auto unmatched = MatchRows(list, table, protocol);
    // Rows added here count for the entries after them. They are news only
    // when the table's rows came from a read of it.
    const bool news = list.TableWasRead(protocol);
    list.SetTableRead(protocol, true);
    Owners owners(resolve);
    for (const std::size_t i : unmatched) {
        const Row entry = table[i];
        const EndpointKey endpoint = EndpointOf(entry);
        if (!list.HasEndpoint(endpoint)) {
            AppendEntryRow(list, endpoint, entry, owners, news);
        }
    }
}

// The fill's rows are the table's order for the first refresh, also when a
// failure cuts the fill short.
class FillPass {
public:
    FillPass(ConnectionList& list, Protocol protocol) : list_(list) { list_.BeginFill(protocol); }
    ~FillPass() { list_.EndMatch(); }
    FillPass(const FillPass&) = delete;
    FillPass& operator=(const FillPass&) = delete;

private:
    ConnectionList& list_;
};

// Keeps a read's room for the next read of its table, also when a failure
// cuts the work on it short.
template <typename Row>
class KeptRoom {
public:
    KeptRoom(TableRead<Row>& read, TableRoom* room) : read_(read), room_(room) {}
    ~KeptRoom()
    {
        if (room_ != nullptr && read_.outcome == ReadOutcome::Read) {
            *room_ = read_.table.TakeRoom();
        }
    }
    KeptRoom(const KeptRoom&) = delete;
    KeptRoom& operator=(const KeptRoom&) = delete;

private:
    TableRead<Row>& read_;
    TableRoom* room_;
};

TableRoom* RoomIn(TableRooms* rooms, TableRoom TableRooms::*member)
{
    return rooms != nullptr ? &(rooms->*member) : nullptr;
}

template <typename Row>
void FillRows(ConnectionList& list, TableRead<Row> read, const ProcessPathResolver& resolve, TableRoom* room,
              Protocol protocol)
{
    const KeptRoom<Row> kept(read, room);
    list.SetTableRead(protocol, read.outcome == ReadOutcome::Read && (read.table.size() != 0 || IsIPv6(protocol)));
    if (read.outcome != ReadOutcome::Read || read.table.size() == 0) {
        return;
    }
    list.Reserve(list.size() + read.table.size());
    BatchUpdate batch(list);
    const FillPass pass(list, protocol);
    Owners owners(resolve);
    // The index's slots of a large table lie far apart: the slot of an entry
    // some way ahead is fetched while this one is added.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < read.table.size(); ++i) {
        if (i + kAhead < read.table.size()) {
            list.PrefetchEndpoint(EndpointOf(read.table[i + kAhead]));
        }
        const Row entry = read.table[i];
        AppendEntryRow(list, EndpointOf(entry), entry, owners);
    }
}

// Reads one table and, when it was read, brings its rows in step; its room
// goes back to the rooms for the next refresh.
template <typename Read, typename Sync>
void RefreshTable(ConnectionList& list, Protocol protocol, Read read, Sync sync, TableRoom* room)
{
    auto table = read(room);
    const KeptRoom kept(table, room);
    if (table.outcome == ReadOutcome::Read) {
        sync(table.table);
    } else {
        list.SetTableRead(protocol, false);
    }
}

} // namespace

void FillTcpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms)
{
    FillRows(list, ReadTcpTable(ipHelper), resolve, RoomIn(rooms, &TableRooms::tcp), Protocol::Tcp);
}

void FillUdpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms)
{
    FillRows(list, ReadUdpTable(ipHelper), resolve, RoomIn(rooms, &TableRooms::udp), Protocol::Udp);
}

void SyncTcpRows(ConnectionList& list, const TableBuffer<platform::TcpRowOwnerPid>& table,
                 const ProcessPathResolver& resolve)
{
    SyncRows(list, table, resolve, Protocol::Tcp);
}

void SyncUdpRows(ConnectionList& list, const TableBuffer<platform::UdpRowOwnerPid>& table,
                 const ProcessPathResolver& resolve)
{
    SyncRows(list, table, resolve, Protocol::Udp);
}

void FillIPv6Rows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                  const ProcessPathResolver& resolve, TableRooms* rooms)
{
    FillRows(list, ReadTcp6Table(ipHelper), resolve, RoomIn(rooms, &TableRooms::tcp6), Protocol::Tcp6);
    FillRows(list, ReadUdp6Table(ipHelper), resolve, RoomIn(rooms, &TableRooms::udp6), Protocol::Udp6);
}

void SyncTcp6Rows(ConnectionList& list, const TableBuffer<platform::Tcp6RowOwnerPid>& table,
                  const ProcessPathResolver& resolve)
{
    SyncRows(list, table, resolve, Protocol::Tcp6);
}

void SyncUdp6Rows(ConnectionList& list, const TableBuffer<platform::Udp6RowOwnerPid>& table,
                  const ProcessPathResolver& resolve)
{
    SyncRows(list, table, resolve, Protocol::Udp6);
}

void RemoveIPv6Rows(ConnectionList& list)
{
    list.RemoveRowsOfProtocol(Protocol::Tcp6);
    list.RemoveRowsOfProtocol(Protocol::Udp6);
    list.SetTableRead(Protocol::Tcp6, false);
    list.SetTableRead(Protocol::Udp6, false);
}

void RefreshRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, bool includeIPv6, TableRooms* rooms)
{
    list.BeginRefresh();
    RefreshTable(
        list, Protocol::Tcp, [&](TableRoom* spare) { return ReadTcpTable(ipHelper, spare); },
        [&](const auto& table) { SyncTcpRows(list, table, resolve); }, RoomIn(rooms, &TableRooms::tcp));
    RefreshTable(
        list, Protocol::Udp, [&](TableRoom* spare) { return ReadUdpTable(ipHelper, spare); },
        [&](const auto& table) { SyncUdpRows(list, table, resolve); }, RoomIn(rooms, &TableRooms::udp));
    if (!includeIPv6) {
        return;
    }
    RefreshTable(
        list, Protocol::Tcp6, [&](TableRoom* spare) { return ReadTcp6Table(ipHelper, spare); },
        [&](const auto& table) { SyncTcp6Rows(list, table, resolve); }, RoomIn(rooms, &TableRooms::tcp6));
    RefreshTable(
        list, Protocol::Udp6, [&](TableRoom* spare) { return ReadUdp6Table(ipHelper, spare); },
        [&](const auto& table) { SyncUdp6Rows(list, table, resolve); }, RoomIn(rooms, &TableRooms::udp6));
}

} // namespace vq::connections

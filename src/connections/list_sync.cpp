#include "connections/list_sync.h"

#include "platform/process.h"

#include <cstring>
#include <type_traits>
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

// The owner-module rows begin with the owner-pid fields.
EndpointKey EndpointOf(const platform::TcpRowOwnerModule& entry)
{
    return TcpEndpoint({entry.state, entry.localAddr, entry.localPort, entry.remoteAddr, entry.remotePort,
                        entry.owningPid});
}
EndpointKey EndpointOf(const platform::UdpRowOwnerModule& entry)
{
    return UdpEndpoint({entry.localAddr, entry.localPort, entry.owningPid});
}
EndpointKey EndpointOf(const platform::Tcp6RowOwnerModule& entry)
{
    platform::Tcp6RowOwnerPid fields{};
    std::memcpy(&fields, &entry, sizeof(fields));
    return Tcp6Endpoint(fields);
}
EndpointKey EndpointOf(const platform::Udp6RowOwnerModule& entry)
{
    platform::Udp6RowOwnerPid fields{};
    std::memcpy(&fields, &entry, sizeof(fields));
    return Udp6Endpoint(fields);
}

// The owner-pid record an entry begins with: an owner-module row is one
// followed by its origin.
template <typename Row>
struct PidFields {
    using Type = Row;
};
template <>
struct PidFields<platform::TcpRowOwnerModule> {
    using Type = platform::TcpRowOwnerPid;
};
template <>
struct PidFields<platform::UdpRowOwnerModule> {
    using Type = platform::UdpRowOwnerPid;
};
template <>
struct PidFields<platform::Tcp6RowOwnerModule> {
    using Type = platform::Tcp6RowOwnerPid;
};
template <>
struct PidFields<platform::Udp6RowOwnerModule> {
    using Type = platform::Udp6RowOwnerPid;
};

// Whether a table's rows carry their origin.
template <typename Row>
constexpr bool kHasOrigin = !std::is_same_v<typename PidFields<Row>::Type, Row>;

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
std::uint32_t StateOf(const platform::UdpRowOwnerModule&)
{
    return 0;
}
std::uint32_t StateOf(const platform::Udp6RowOwnerModule&)
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

// The origins of one table's entries: the time each was made and, while the
// Service column is shown, its service, looked up through the resolver.
class Origins {
public:
    Origins(const ConnectionList& list, Owners& owners, const ServiceResolver& services, Protocol protocol)
        : owners_(owners), services_(list.ShowsService() ? &services : nullptr), protocol_(protocol)
    {
    }

    template <typename Row>
    RowOrigin Of(const Row& entry)
    {
        RowOrigin origin;
        origin.created = entry.createTimestamp[0] | std::uint64_t{entry.createTimestamp[1]} << 32;
        if (services_ != nullptr && *services_) {
            const OwningProcess& owner = owners_.Of(entry.owningPid);
            const std::uint64_t tag =
                entry.owningModuleInfo.words[0] | std::uint64_t{entry.owningModuleInfo.words[1]} << 32;
            origin.service = (*services_)(ServiceQuery{protocol_, &entry, entry.owningPid, owner.startTime, tag,
                                                       SplitProcessPath(owner.path).fileName});
        }
        return origin;
    }

private:
    Owners& owners_;
    const ServiceResolver* services_;
    Protocol protocol_;
};

template <typename Row>
void AppendEntryRow(ConnectionList& list, const EndpointKey& endpoint, const Row& entry, Owners& owners,
                    Origins& origins, bool news = false)
{
    if constexpr (kHasOrigin<Row>) {
        if (list.KeepsOrigins()) {
            const RowOrigin origin = origins.Of(entry);
            list.AppendRow(endpoint, StateOf(entry), owners.Of(entry.owningPid), news, &origin);
            return;
        }
    }
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
        const auto entry = table.template HeadOf<typename PidFields<Row>::Type>(i);
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
              Protocol protocol, const ServiceResolver& services = {})
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
    Origins origins(list, owners, services, protocol);
    if constexpr (kHasOrigin<Row>) {
        list.CompleteOrigins(protocol, [&](std::size_t place) { return origins.Of(table[place]); });
    }
    for (const std::size_t i : unmatched) {
        const Row entry = table[i];
        const EndpointKey endpoint = EndpointOf(entry);
        if (!list.HasEndpoint(endpoint)) {
            AppendEntryRow(list, endpoint, entry, owners, origins, news);
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
              Protocol protocol, const ServiceResolver& services = {})
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
    Origins origins(list, owners, services, protocol);
    // The index's slots of a large table lie far apart: the slot of an entry
    // some way ahead is fetched while this one is added.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < read.table.size(); ++i) {
        if (i + kAhead < read.table.size()) {
            list.PrefetchEndpoint(EndpointOf(read.table[i + kAhead]));
        }
        const Row entry = read.table[i];
        AppendEntryRow(list, EndpointOf(entry), entry, owners, origins);
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

// Reads a table with the owner-module class while the list keeps origins,
// else with the owner-pid class, and hands the read on.
template <typename PidRead, typename ModuleRead, typename Use>
void ReadEither(const ConnectionList& list, PidRead pidRead, ModuleRead moduleRead, Use use)
{
    if (list.KeepsOrigins()) {
        use(moduleRead());
    } else {
        use(pidRead());
    }
}

// Gives the rows of a table's entries their origins, without matching.
template <typename Row>
void CompleteOriginsFrom(ConnectionList& list, TableRead<Row> read, const ProcessPathResolver& resolve,
                         const ServiceResolver& services, Protocol protocol)
{
    if (read.outcome != ReadOutcome::Read) {
        return;
    }
    BatchUpdate batch(list);
    Owners owners(resolve);
    Origins origins(list, owners, services, protocol);
    for (std::size_t i = 0; i < read.table.size(); ++i) {
        const Row entry = read.table[i];
        list.CompleteOriginsOf(EndpointOf(entry), [&] { return origins.Of(entry); });
    }
}

} // namespace

void FillTcpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms, const ServiceResolver& services)
{
    ReadEither(
        list, [&] { return ReadTcpTable(ipHelper); }, [&] { return ReadTcpModuleTable(ipHelper); },
        [&](auto read) {
            FillRows(list, std::move(read), resolve, RoomIn(rooms, &TableRooms::tcp), Protocol::Tcp, services);
        });
}

void FillUdpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms, const ServiceResolver& services)
{
    ReadEither(
        list, [&] { return ReadUdpTable(ipHelper); }, [&] { return ReadUdpModuleTable(ipHelper); },
        [&](auto read) {
            FillRows(list, std::move(read), resolve, RoomIn(rooms, &TableRooms::udp), Protocol::Udp, services);
        });
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
                  const ProcessPathResolver& resolve, TableRooms* rooms, const ServiceResolver& services)
{
    ReadEither(
        list, [&] { return ReadTcp6Table(ipHelper); }, [&] { return ReadTcp6ModuleTable(ipHelper); },
        [&](auto read) {
            FillRows(list, std::move(read), resolve, RoomIn(rooms, &TableRooms::tcp6), Protocol::Tcp6, services);
        });
    ReadEither(
        list, [&] { return ReadUdp6Table(ipHelper); }, [&] { return ReadUdp6ModuleTable(ipHelper); },
        [&](auto read) {
            FillRows(list, std::move(read), resolve, RoomIn(rooms, &TableRooms::udp6), Protocol::Udp6, services);
        });
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
                 const ProcessPathResolver& resolve, bool includeIPv6, TableRooms* rooms,
                 const ServiceResolver& services)
{
    list.BeginRefresh();
    const bool origins = list.KeepsOrigins();
    const auto refresh = [&](Protocol protocol, auto readPid, auto readModule, TableRoom TableRooms::*room) {
        const auto sync = [&](const auto& table) { SyncRows(list, table, resolve, protocol, services); };
        if (origins) {
            RefreshTable(list, protocol, readModule, sync, RoomIn(rooms, room));
        } else {
            RefreshTable(list, protocol, readPid, sync, RoomIn(rooms, room));
        }
    };
    refresh(
        Protocol::Tcp, [&](TableRoom* spare) { return ReadTcpTable(ipHelper, spare); },
        [&](TableRoom* spare) { return ReadTcpModuleTable(ipHelper, spare); }, &TableRooms::tcp);
    refresh(
        Protocol::Udp, [&](TableRoom* spare) { return ReadUdpTable(ipHelper, spare); },
        [&](TableRoom* spare) { return ReadUdpModuleTable(ipHelper, spare); }, &TableRooms::udp);
    if (!includeIPv6) {
        return;
    }
    refresh(
        Protocol::Tcp6, [&](TableRoom* spare) { return ReadTcp6Table(ipHelper, spare); },
        [&](TableRoom* spare) { return ReadTcp6ModuleTable(ipHelper, spare); }, &TableRooms::tcp6);
    refresh(
        Protocol::Udp6, [&](TableRoom* spare) { return ReadUdp6Table(ipHelper, spare); },
        [&](TableRoom* spare) { return ReadUdp6ModuleTable(ipHelper, spare); }, &TableRooms::udp6);
}

void CompleteRowOrigins(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                        const ProcessPathResolver& resolve, const ServiceResolver& services, bool includeIPv6)
{
    if (!list.KeepsOrigins()) {
        return;
    }
    CompleteOriginsFrom(list, ReadTcpModuleTable(ipHelper), resolve, services, Protocol::Tcp);
    CompleteOriginsFrom(list, ReadUdpModuleTable(ipHelper), resolve, services, Protocol::Udp);
    if (includeIPv6) {
        CompleteOriginsFrom(list, ReadTcp6ModuleTable(ipHelper), resolve, services, Protocol::Tcp6);
        CompleteOriginsFrom(list, ReadUdp6ModuleTable(ipHelper), resolve, services, Protocol::Udp6);
    }
}

} // namespace vq::connections

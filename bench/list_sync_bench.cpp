// Speed of the connection list: the initial fill and the heap it takes per
// row, the synchronisation with a table read (no change, 1% churn, full
// churn), a whole refresh (read, match, synchronise) next to the floor of
// walking the raw table, a whole refresh of IPv4 and IPv6 rows half and half,
// a Find pass over the whole list, and the status counters, at 1k to 1M rows.
// Process paths come from a trivial resolver and captions are ordered by plain
// comparison, so only the list's own work is measured.

#include "connections/list_sync.h"
#include "connections/row_counters.h"
#include "connections/row_search.h"
#include "heap_count.h"
#include "table_fixtures.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <type_traits>

namespace {

using namespace vq;
using connections::ConnectionList;
using connections::TableBuffer;
using platform::Tcp6RowOwnerPid;
using platform::TcpRowOwnerPid;

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

// Fifty process images shared by the connections, as on a real machine.
connections::OwningProcess ResolvePath(std::uint32_t processId)
{
    return {L"C:\\Program Files\\Vendor\\process" + std::to_wstring(processId % 50) + L".exe", std::nullopt};
}

// Connection number n of a generation: generations never share an identity,
// nor do two numbers of one generation (a local address per 60000 ports).
TcpRowOwnerPid Connection(std::uint32_t generation, std::uint32_t n)
{
    const std::uint32_t states[] = {2, 5, 5, 5, 11, 8};
    return {states[n % 6], fake::Addr(10, n / 60000, generation & 0xFF, 1), fake::Port(1024 + n % 60000),
            fake::Addr(192, 168, (n / 250) & 0xFF, n % 250), fake::Port(443), 1000 + n % 700};
}

// The same over IPv6: 2001:db8:<generation>::1 to fd00::<n>.
Tcp6RowOwnerPid Connection6(std::uint32_t generation, std::uint32_t n)
{
    const std::uint32_t states[] = {2, 5, 5, 5, 11, 8};
    Tcp6RowOwnerPid row{};
    const std::uint8_t local[16] = {0x20, 0x01, 0x0d, 0xb8, 0, static_cast<std::uint8_t>(generation), 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 1};
    const std::uint8_t remote[16] = {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                                     static_cast<std::uint8_t>(n)};
    std::memcpy(row.localAddr, local, sizeof local);
    std::memcpy(row.remoteAddr, remote, sizeof remote);
    row.localPort = fake::Port(1024 + n % 60000);
    row.remotePort = fake::Port(443);
    row.state = states[n % 6];
    row.owningPid = 1000 + n % 700;
    return row;
}

template <typename Row = TcpRowOwnerPid>
std::vector<Row> Connections(std::uint32_t generation, std::size_t count, std::size_t firstNumber = 0)
{
    std::vector<Row> rows;
    rows.reserve(count);
    for (std::size_t n = firstNumber; n < firstNumber + count; ++n) {
        if constexpr (std::is_same_v<Row, Tcp6RowOwnerPid>) {
            rows.push_back(Connection6(generation, static_cast<std::uint32_t>(n)));
        } else {
            rows.push_back(Connection(generation, static_cast<std::uint32_t>(n)));
        }
    }
    return rows;
}

// The rows of a connection set whose share `churnPercent` is replaced by new
// connections: the first `churn` go, as many new ones come at the end.
template <typename Row = TcpRowOwnerPid>
std::vector<Row> Churned(std::size_t rows, double churnPercent)
{
    const auto churn = static_cast<std::size_t>(std::llround(static_cast<double>(rows) * churnPercent / 100));
    auto churned = Connections<Row>(0, rows - churn, churn);
    const auto added = Connections<Row>(1, churn);
    churned.insert(churned.end(), added.begin(), added.end());
    return churned;
}

// The tables the benchmark's GetExtendedTcpTable serves, by address family.
std::vector<TcpRowOwnerPid> g_table;
std::vector<Tcp6RowOwnerPid> g_table6;

template <typename Row>
std::uint32_t ServeRows(const std::vector<Row>& rows, void* table, std::uint32_t* size)
{
    const std::uint32_t needed = static_cast<std::uint32_t>(sizeof(std::uint32_t) + rows.size() * sizeof(Row));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return platform::kErrorInsufficientBuffer;
    }
    const auto count = static_cast<std::uint32_t>(rows.size());
    std::memcpy(table, &count, sizeof count);
    std::memcpy(static_cast<unsigned char*>(table) + sizeof count, rows.data(), rows.size() * sizeof(Row));
    return platform::kNoError;
}

// The owner-module table of the same rows: each made at its own time, its
// owner tag one of five per process.
std::uint32_t ServeModuleRows(const std::vector<TcpRowOwnerPid>& rows, void* table, std::uint32_t* size)
{
    constexpr std::size_t kHeader = 8;
    const auto needed = static_cast<std::uint32_t>(kHeader + rows.size() * sizeof(platform::TcpRowOwnerModule));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return platform::kErrorInsufficientBuffer;
    }
    const auto count = static_cast<std::uint32_t>(rows.size());
    std::memcpy(table, &count, sizeof count);
    auto* out = static_cast<unsigned char*>(table) + kHeader;
    for (std::size_t i = 0; i < rows.size(); ++i, out += sizeof(platform::TcpRowOwnerModule)) {
        platform::TcpRowOwnerModule row{};
        std::memcpy(&row, &rows[i], sizeof(TcpRowOwnerPid));
        const std::uint64_t created = 134273808000000000ull + rows[i].localPort * 10'000'000ull;
        row.createTimestamp[0] = static_cast<std::uint32_t>(created);
        row.createTimestamp[1] = static_cast<std::uint32_t>(created >> 32);
        row.owningModuleInfo.words[0] = rows[i].localPort % 5;
        std::memcpy(out, &row, sizeof row);
    }
    return platform::kNoError;
}

std::uint32_t VQ_WINAPI ServeTcpTable(void* table, std::uint32_t* size, int, std::uint32_t family, int tableClass,
                                      std::uint32_t)
{
    if (tableClass == platform::kTcpTableOwnerModuleAll) {
        return ServeModuleRows(g_table, table, size);
    }
    return family == platform::kAfInet6 ? ServeRows(g_table6, table, size) : ServeRows(g_table, table, size);
}

// An owner-module look-up that names the module after the row's tag,
// counted: the look-ups a refresh makes.
std::size_t g_moduleLookUps = 0;
std::uint32_t VQ_WINAPI LookUpOwnerModule(const void* row, int, void* buffer, std::uint32_t* size)
{
    ++g_moduleLookUps;
    static const wchar_t kName[] = L"ServiceName";
    constexpr std::uint32_t kNeeded = sizeof(platform::OwnerModuleBasicInfo) + sizeof kName;
    if (buffer == nullptr || *size < kNeeded) {
        *size = kNeeded;
        return platform::kErrorInsufficientBuffer;
    }
    static_cast<void>(row);
    auto* text = reinterpret_cast<wchar_t*>(static_cast<unsigned char*>(buffer) + sizeof(platform::OwnerModuleBasicInfo));
    std::memcpy(text, kName, sizeof kName);
    const platform::OwnerModuleBasicInfo info{text, text};
    std::memcpy(buffer, &info, sizeof info);
    return platform::kNoError;
}

constexpr platform::IpHelperEntryPoints kIpHelper{&ServeTcpTable, nullptr, nullptr};

TableBuffer<TcpRowOwnerPid> Table(const std::vector<TcpRowOwnerPid>& rows)
{
    std::vector<std::uint32_t> words(1 + rows.size() * sizeof(TcpRowOwnerPid) / sizeof(std::uint32_t));
    words[0] = static_cast<std::uint32_t>(rows.size());
    std::memcpy(words.data() + 1, rows.data(), rows.size() * sizeof(TcpRowOwnerPid));
    return TableBuffer<TcpRowOwnerPid>(std::move(words));
}

// Also reports the heap the filled list holds per row (bytes_per_row).
// With origins, the Service and Created columns are shown (the services of
// the rows are not looked up, so that the list's own heap is counted).
void FillTcpRows(benchmark::State& state, bool origins)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    g_table = Connections(0, rows);
    std::optional<ConnectionList> list;
    std::size_t filledLength = 0;
    for (auto _ : state) {
        state.PauseTiming();
        list.emplace(PlainCompare);
        list->SetShownColumns({origins, origins});
        const std::size_t emptyLength = bench::LiveHeapLength();
        state.ResumeTiming();
        connections::FillTcpRows(*list, kIpHelper, ResolvePath);
        filledLength = bench::LiveHeapLength() - emptyLength;
    }
    if (list->size() != rows) {
        state.SkipWithError("the fill lost or gained rows");
    }
    state.counters["bytes_per_row"] = static_cast<double>(filledLength) / static_cast<double>(rows);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FillTcpRows(benchmark::State& state) { FillTcpRows(state, false); }
void BM_FillTcpRowsWithOrigins(benchmark::State& state) { FillTcpRows(state, true); }

// Each iteration synchronises the list with a table that differs from the
// list by the given share of its connections, and the next one changes them
// back, so every iteration does the same amount of work.
void SyncWithChurn(benchmark::State& state, double churnPercent)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    const auto first = Table(Connections(0, rows));
    const auto second = Table(Churned(rows, churnPercent));

    ConnectionList list(PlainCompare);
    connections::SyncTcpRows(list, first, ResolvePath);
    bool toSecond = true;
    for (auto _ : state) {
        connections::SyncTcpRows(list, toSecond ? second : first, ResolvePath);
        toSecond = !toSecond;
    }
    if (list.size() != rows) {
        state.SkipWithError("the list lost or gained rows");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SyncNoChange(benchmark::State& state) { SyncWithChurn(state, 0); }
void BM_SyncChurn1Percent(benchmark::State& state) { SyncWithChurn(state, 1); }
void BM_SyncFullChurn(benchmark::State& state) { SyncWithChurn(state, 100); }

// The floor of a refresh: read the raw table and compute each entry's hash.
// One read before timing gets the heap the buffer takes.
void BM_RawTableWalk(benchmark::State& state)
{
    g_table = Connections(0, static_cast<std::size_t>(state.range(0)));
    connections::TableRoom room = connections::ReadTcpTable(kIpHelper).table.TakeRoom();
    for (auto _ : state) {
        auto read = connections::ReadTcpTable(kIpHelper, &room);
        std::size_t sum = 0;
        for (std::size_t i = 0; i < read.table.size(); ++i) {
            sum += connections::EndpointHash(connections::TcpEndpoint(read.table[i]));
        }
        benchmark::DoNotOptimize(sum);
        room = read.table.TakeRoom();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A whole refresh as the timer runs it: read the table, match it to the rows,
// remove and add rows. The table alternates between two churned sets. The
// first refresh after the fill, which matches every entry through the index,
// is done before timing: at a million rows one iteration may be all there is.
// With origins, the Service and Created columns are shown: the owner-module
// table is read and new rows' services looked up through the cache, whose
// look-ups per refresh are reported (module_look_ups, service_listings).
void RefreshWithChurn(benchmark::State& state, double churnPercent, connections::RowFilter filter = {},
                      bool highlight = false, bool origins = false)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    const auto first = Connections(0, rows);
    const auto second = Churned(rows, churnPercent);
    ConnectionList list(PlainCompare);
    g_table = first;
    list.SetFilter(std::move(filter));
    list.SetHighlighting(highlight);
    list.SetShownColumns({origins, origins});
    platform::OwnerModuleLookUps lookUps;
    lookUps.fromTcpEntry = &LookUpOwnerModule;
    connections::ServiceNameCache cache(lookUps, [] { return std::vector<platform::RunningService>{}; });
    const connections::ServiceResolver services = [&](const connections::ServiceQuery& query) {
        return cache.Resolve(query);
    };
    const auto refresh = [&](connections::TableRooms* rooms) {
        cache.BeginPass();
        connections::RefreshRows(list, kIpHelper, ResolvePath, false, rooms, services);
    };
    connections::FillTcpRows(list, kIpHelper, ResolvePath, nullptr, services);
    connections::TableRooms rooms;  // kept from refresh to refresh, as the program keeps them
    refresh(&rooms);
    const std::size_t lookUpsBefore = cache.ModuleLookUps();
    const std::size_t listingsBefore = cache.ServiceListings();
    bool toSecond = true;
    for (auto _ : state) {
        state.PauseTiming();
        g_table = toSecond ? second : first;
        state.ResumeTiming();
        refresh(&rooms);
        toSecond = !toSecond;
    }
    if (list.Counts().connections + list.Counts().hidden != rows) {
        state.SkipWithError("the list lost or gained rows");
    }
    if (origins) {
        const auto perRefresh = [&](std::size_t count) {
            return static_cast<double>(count) / static_cast<double>(state.iterations());
        };
        state.counters["module_look_ups"] = perRefresh(cache.ModuleLookUps() - lookUpsBefore);
        state.counters["service_listings"] = perRefresh(cache.ServiceListings() - listingsBefore);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Filters set one after the other on a filled list, each pass timed: what
// a keystroke in the filter bar or a View option's toggle costs.
void FilterPasses(benchmark::State& state, const std::vector<connections::RowFilter>& filters, bool timeFirst)
{
    ConnectionList list(PlainCompare);
    connections::SyncTcpRows(list, Table(Connections(0, static_cast<std::size_t>(state.range(0)))), ResolvePath);
    std::size_t next = 0;
    for (auto _ : state) {
        if (!timeFirst && next == 0) {
            state.PauseTiming();
            list.SetFilter(filters[next]);
            next = 1;
            state.ResumeTiming();
        }
        list.SetFilter(filters[next]);
        next = (next + 1) % filters.size();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Typing one more character and taking it back: the remote address
// "192.168.1" shows a tenth of the rows, "192.168.12" a hundredth.
void BM_FilterKeystroke(benchmark::State& state)
{
    FilterPasses(state, {connections::RowFilter(L"192.168.1"), connections::RowFilter(L"192.168.12")}, true);
}

// Clearing a filter that showed nothing: every row comes back to its place.
void BM_FilterCleared(benchmark::State& state)
{
    FilterPasses(state, {connections::RowFilter(L"no such text"), connections::RowFilter()}, false);
}

// "Show Unconnected Endpoints" turned off and on: a sixth of the rows go
// and come back.
void BM_FilterToggleUnconnected(benchmark::State& state)
{
    connections::RowFilter hidden;
    hidden.ShowUnconnected(false);
    FilterPasses(state, {hidden, connections::RowFilter()}, true);
}

// The first refresh after the fill, without change: the fill's table order
// lets it walk the rows in step like any later refresh.
void BM_FirstRefreshAfterFill(benchmark::State& state)
{
    g_table = Connections(0, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<ConnectionList>(PlainCompare);
        connections::FillTcpRows(*list, kIpHelper, ResolvePath);
        state.ResumeTiming();
        connections::RefreshRows(*list, kIpHelper, ResolvePath);
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RefreshNoChange(benchmark::State& state) { RefreshWithChurn(state, 0); }
void BM_RefreshChurn1Percent(benchmark::State& state) { RefreshWithChurn(state, 1); }
// The same with changes highlighted: the rows that go linger two refreshes.
void BM_RefreshChurn1PercentHighlighted(benchmark::State& state)
{
    RefreshWithChurn(state, 1, {}, true);
}

// The same with the Service and Created columns shown.
void BM_RefreshChurn1PercentWithOrigins(benchmark::State& state)
{
    RefreshWithChurn(state, 1, {}, false, true);
}

// The same with a filter that shows the rows of 11 of the 50 processes.
void BM_RefreshChurn1PercentFiltered(benchmark::State& state)
{
    RefreshWithChurn(state, 1, connections::RowFilter(L"process1"));
}
void BM_RefreshChurnTenthPercent(benchmark::State& state) { RefreshWithChurn(state, 0.1); }

// A whole refresh with the IPv6 rows on: half the rows IPv4, half IPv6, 1%
// of each replaced at every refresh.
void BM_RefreshMixedChurn1Percent(benchmark::State& state)
{
    const auto half = static_cast<std::size_t>(state.range(0)) / 2;
    const auto first = Connections(0, half);
    const auto second = Churned(half, 1);
    const auto first6 = Connections<Tcp6RowOwnerPid>(0, half);
    const auto second6 = Churned<Tcp6RowOwnerPid>(half, 1);
    ConnectionList list(PlainCompare);
    g_table = first;
    g_table6 = first6;
    connections::FillTcpRows(list, kIpHelper, ResolvePath);
    connections::FillIPv6Rows(list, kIpHelper, ResolvePath);
    connections::TableRooms rooms;
    connections::RefreshRows(list, kIpHelper, ResolvePath, true, &rooms);
    bool toSecond = true;
    for (auto _ : state) {
        state.PauseTiming();
        g_table = toSecond ? second : first;
        g_table6 = toSecond ? second6 : first6;
        state.ResumeTiming();
        connections::RefreshRows(list, kIpHelper, ResolvePath, true, &rooms);
        toSecond = !toSecond;
    }
    if (list.size() != 2 * half) {
        state.SkipWithError("the list lost or gained rows");
    }
    g_table6.clear();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A Find pass over the whole list: text that no cell contains, case folded
// as the Find dialog does by default, from the first row to the last.
void BM_FindNoMatch(benchmark::State& state)
{
    ConnectionList list(PlainCompare);
    connections::SyncTcpRows(list, Table(Connections(0, static_cast<std::size_t>(state.range(0)))), ResolvePath);
    const connections::FindRequest request{L"no such text", false, true};
    for (auto _ : state) {
        if (connections::FindNextRow(list, request, std::nullopt)) {
            state.SkipWithError("a row matched");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CountRows(benchmark::State& state)
{
    ConnectionList list(PlainCompare);
    connections::SyncTcpRows(list, Table(Connections(0, static_cast<std::size_t>(state.range(0)))), ResolvePath);
    for (auto _ : state) {
        benchmark::DoNotOptimize(connections::CountRows(list));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FillTcpRows)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillTcpRowsWithOrigins)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncNoChange)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncChurn1Percent)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncFullChurn)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawTableWalk)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstRefreshAfterFill)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshNoChange)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshChurn1Percent)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshChurn1PercentFiltered)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshChurn1PercentWithOrigins)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshChurn1PercentHighlighted)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKeystroke)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterCleared)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterToggleUnconnected)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshChurnTenthPercent)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshMixedChurn1Percent)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNoMatch)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountRows)->Arg(1000)->Arg(100000)->Unit(benchmark::kNanosecond);

} // namespace

// The heap keeps every page it got: a case's time then does not depend on
// whether the allocator handed a large block back to the system in an earlier
// case or iteration (and took the page faults again), which at a million rows
// made a refresh several times slower in one run than in the next.
int main(int argc, char** argv)
{
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

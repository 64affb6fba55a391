// Speed of the connection list: the initial fill, the synchronisation with a
// snapshot (no change, 1% churn, full churn) and the status counters, at 1k,
// 10k and 100k rows. Process paths come from a trivial resolver and captions
// are ordered by plain comparison, so only the list's own work is measured.

#include "connections/list_sync.h"
#include "connections/row_counters.h"
#include "table_fixtures.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <optional>

namespace {

using namespace vq;
using connections::ConnectionList;
using connections::SnapshotLines;

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

// Fifty process images shared by the connections, as on a real machine.
std::wstring ResolvePath(std::uint32_t processId)
{
    return L"C:\\Program Files\\Vendor\\process" + std::to_wstring(processId % 50) + L".exe";
}

// Connection number n of a generation: generations never share an identity.
platform::TcpRowOwnerPid Connection(std::uint32_t generation, std::uint32_t n)
{
    const std::uint32_t states[] = {2, 5, 5, 5, 11, 8};
    return {states[n % 6], fake::Addr(10, 0, generation & 0xFF, 1), fake::Port(1024 + n % 60000),
            fake::Addr(192, 168, (n / 250) & 0xFF, n % 250), fake::Port(443), 1000 + n % 700};
}

// The table the benchmark's GetExtendedTcpTable serves.
std::vector<platform::TcpRowOwnerPid> g_table;

std::uint32_t VQ_WINAPI ServeTcpTable(void* table, std::uint32_t* size, int, std::uint32_t, int, std::uint32_t)
{
    const std::uint32_t needed =
        static_cast<std::uint32_t>(sizeof(std::uint32_t) + g_table.size() * sizeof(platform::TcpRowOwnerPid));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return platform::kErrorInsufficientBuffer;
    }
    const auto count = static_cast<std::uint32_t>(g_table.size());
    std::memcpy(table, &count, sizeof count);
    std::memcpy(static_cast<unsigned char*>(table) + sizeof count, g_table.data(),
                g_table.size() * sizeof(platform::TcpRowOwnerPid));
    return platform::kNoError;
}

SnapshotLines Lines(std::uint32_t generation, std::size_t count, std::size_t firstNumber = 0)
{
    SnapshotLines lines;
    lines.reserve(count);
    for (std::size_t n = firstNumber; n < firstNumber + count; ++n) {
        lines.push_back(connections::TcpSnapshotLine(
            connections::WithRemotePortRule(Connection(generation, static_cast<std::uint32_t>(n)))));
    }
    return lines;
}

void BM_FillTcpRows(benchmark::State& state)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    g_table.clear();
    for (std::size_t n = 0; n < rows; ++n) {
        g_table.push_back(Connection(0, static_cast<std::uint32_t>(n)));
    }
    const platform::IpHelperEntryPoints ipHelper{&ServeTcpTable, nullptr, nullptr};
    std::optional<ConnectionList> list;
    for (auto _ : state) {
        state.PauseTiming();
        list.emplace(PlainCompare);
        state.ResumeTiming();
        connections::FillTcpRows(*list, ipHelper, ResolvePath);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Each iteration synchronises the list with a snapshot that differs from the
// list by the given share of its connections, and the next one changes them
// back, so every iteration does the same amount of work.
void SyncWithChurn(benchmark::State& state, std::size_t churnPercent)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    const std::size_t churn = rows * churnPercent / 100;
    const SnapshotLines first = Lines(0, rows);
    SnapshotLines second = Lines(0, rows - churn, churn);  // drops the first `churn` connections...
    const SnapshotLines added = Lines(1, churn);           // ...and gains as many new ones
    second.insert(second.end(), added.begin(), added.end());

    ConnectionList list(PlainCompare);
    SnapshotLines snapshot = first;
    connections::SyncTcpRows(list, snapshot, ResolvePath);
    bool toSecond = true;
    for (auto _ : state) {
        state.PauseTiming();
        snapshot = toSecond ? second : first;
        state.ResumeTiming();
        connections::SyncTcpRows(list, snapshot, ResolvePath);
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

void BM_CountRows(benchmark::State& state)
{
    ConnectionList list(PlainCompare);
    SnapshotLines snapshot = Lines(0, static_cast<std::size_t>(state.range(0)));
    connections::SyncTcpRows(list, snapshot, ResolvePath);
    for (auto _ : state) {
        benchmark::DoNotOptimize(connections::CountRows(list));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_FillTcpRows)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncNoChange)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncChurn1Percent)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncFullChurn)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountRows)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// Writing 100k rows as the console companion's CSV and JSON, and as the
// window's CSV file text (the same writer): time per listing.

#include "console/row_output.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using vq::connections::ConnectionRow;

std::vector<ConnectionRow> Rows(std::size_t count)
{
    std::vector<ConnectionRow> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
        ConnectionRow& row = rows[i];
        const std::wstring port = std::to_wstring(1024 + i % 60000);
        row.caption = i % 7 == 0 ? L"svchost.exe" : L"browser \u00e9dition.exe";
        row.subItems = {L"TCP", L"ESTABLISHED", L"10.0." + std::to_wstring(i / 250 % 250) + L"." +
                        std::to_wstring(i % 250), port, L"93.184.216.34", L"443", std::to_wstring(4000 + i % 300),
                        L"C:\\Program Files\\Browser, Inc\\"};
        row.endpoint.protocol = vq::connections::Protocol::Tcp;
        row.endpoint.localPort = static_cast<std::uint32_t>(1024 + i % 60000);
        row.endpoint.remotePort = 443;
        row.endpoint.processId = static_cast<std::uint32_t>(4000 + i % 300);
    }
    return rows;
}

void WriteCsv(benchmark::State& state)
{
    const std::vector<ConnectionRow> rows = Rows(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        vq::console::AppendCsv(out, rows);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(WriteCsv)->Arg(100000)->Unit(benchmark::kMillisecond);

void WriteJson(benchmark::State& state)
{
    const std::vector<ConnectionRow> rows = Rows(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        vq::console::AppendJsonArray(out, rows);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(WriteJson)->Arg(100000)->Unit(benchmark::kMillisecond);

void WriteJsonEvents(benchmark::State& state)
{
    const std::vector<ConnectionRow> rows = Rows(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out;
        for (const ConnectionRow& row : rows) {
            vq::console::AppendJsonEvent(out, vq::console::ChangeKind::Open, {2024, 1, 2, 3, 4, 5, 6}, row);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(WriteJsonEvents)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// Random filter queries, made of the query language's pieces and stray
// characters, over rows of every kind: reading a query never fails, a query
// with an error passes no row, and queries combine as the language says.
// Words joined by a blank pass a row exactly when each word alone does, and
// a word with "-" before it passes exactly the rows the word does not.

#include "connections/connection_list.h"
#include "connections/row_filter.h"
#include "fuzz_common.h"
#include "list_rows.h"

#include <array>
#include <string>

namespace vq {
namespace {

using connections::ConnectionRow;
using connections::RowFilter;
using fuzz::Check;

constexpr std::array<const wchar_t*, 32> kPieces = {
    L"process:", L"path:", L"proto:", L"state:", L"local:",  L"remote:", L"lport:", L"rport:",
    L"port:",    L"pid:",  L"tcp",    L"udp",    L"443",     L"10.0",    L"::1",    L"fe80",
    L"-",        L"\"",    L" ",      L"time_wait", L"LISTEN", L"svc",   L"foo:",   L"1",
    L":",        L"_",     L"%3",     L"\\",     L"65536",   L"0",       L"v6",     L"\t",
};

std::wstring Query(FuzzedDataProvider& data)
{
    std::wstring query;
    const std::size_t pieces = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < pieces; ++i) {
        if (data.ConsumeIntegralInRange(0, 9) == 0) {
            query += static_cast<wchar_t>(data.ConsumeIntegral<std::uint16_t>());
        } else {
            query += kPieces[data.ConsumeIntegralInRange<std::size_t>(0, kPieces.size() - 1)];
        }
    }
    return query;
}

// Rows of every protocol and several states, one of them with no process path.
connections::ConnectionList& Rows()
{
    static connections::ConnectionList list([](const std::wstring& a, const std::wstring& b) { return a.compare(b); });
    if (list.empty()) {
        const std::array<std::array<const wchar_t*, 9>, 6> rows = {{
            {L"svchost.exe", L"TCP", L"LISTEN", L"0.0.0.0", L"445", L"0.0.0.0", L"0", L"4", L"C:\\Windows\\"},
            {L"app.exe", L"TCP", L"TIME-WAIT", L"10.0.0.5", L"49152", L"192.0.2.7", L"443", L"900", L"C:\\Apps\\"},
            {L"svchost.exe", L"UDP", L"-", L"0.0.0.0", L"53", L"-", L"-", L"1200", L"C:\\Windows\\"},
            {L"app.exe", L"TCPv6", L"ESTABLISHED", L"fe80::1%3", L"8080", L"::1", L"443", L"900", L"C:\\Apps\\"},
            {L"", L"UDPv6", L"-", L"::", L"5353", L"-", L"-", L"77", L""},
            {L"probe.exe", L"TCP", L"UNKNOWN(100)", L"10.9.9.9", L"7", L"10.9.9.10", L"9", L"6", L"C:\\T\\"},
        }};
        for (const auto& texts : rows) {
            ConnectionRow row;
            row.caption = texts[0];
            for (std::size_t i = 0; i < row.subItems.size(); ++i) {
                row.subItems[i] = texts[1 + i];
            }
            fake::AppendTexts(list, row);
        }
    }
    return list;
}

bool Passes(const RowFilter& filter, std::size_t row)
{
    const connections::RowFacts facts = Rows().Facts(row);
    const bool passes = filter.Passes(facts);
    Check(passes == filter.Passes(facts, filter.MatchProcess(facts.process)), "the process's bits change nothing");
    return passes;
}

bool Plain(const std::wstring& query)
{
    return query.find_first_of(L"\" \t") == std::wstring::npos;
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vq;
    FuzzedDataProvider data(bytes, size);
    const std::wstring first = Query(data);
    const std::wstring second = Query(data);
    RowFilter filter(first);
    filter.ShowUnconnected(data.ConsumeBool());
    filter.ShowWaiting(data.ConsumeBool());
    const RowFilter alone(first);
    const RowFilter other(second);
    const RowFilter both(first + L" " + second);
    const RowFilter excluded(L"-" + first);
    Check(!RowFilter(L"").Error().size() && RowFilter(L"").PassesEverything(), "an empty query passes every row");
    for (std::size_t row = 0; row < Rows().size(); ++row) {
        const bool passes = Passes(filter, row);
        if (!filter.Error().empty()) {
            Check(!passes, "a query with an error passes no row");
        }
        Check(!passes || Passes(alone, row), "an option only hides rows");
        if (alone.Error().empty() && other.Error().empty() && Plain(first) && Plain(second)) {
            Check(Passes(both, row) == (Passes(alone, row) && Passes(other, row)), "words joined pass like each");
        }
        if (alone.Error().empty() && Plain(first) && !first.empty() && first[0] != L'-') {
            Check(Passes(excluded, row) == !Passes(alone, row), "an excluded word passes the other rows");
        }
    }
    return 0;
}

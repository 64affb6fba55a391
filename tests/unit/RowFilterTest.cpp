#include "connections/row_filter.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>

namespace vq::connections {
namespace {

std::string Narrow(std::wstring_view text)
{
    return std::string(text.begin(), text.end());
}

// Rows named A to H. C and E are one process.
class RowFilterTest : public testing::Test {
protected:
    RowFilterTest()
    {
        const struct {
            const wchar_t* caption;
            std::array<std::wstring, kSubItemCount> cells;
        } rows[] = {
            {L"chrome.exe",
             {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"49152", L"192.0.2.7", L"443", L"900", L"C:\\Browser\\"}},
            {L"svchost.exe",
             {L"TCP", L"LISTEN", L"0.0.0.0", L"445", L"0.0.0.0", L"0", L"4", L"C:\\Windows\\System32\\"}},
            {L"svchost.exe", {L"UDP", L"-", L"0.0.0.0", L"53", L"-", L"-", L"1200", L"C:\\Windows\\System32\\"}},
            {L"Mail.exe",
             {L"TCPv6", L"TIME-WAIT", L"fe80::1%3", L"8080", L"2001:db8::7", L"443", L"777", L"C:\\Apps\\My\\"}},
            {L"svchost.exe", {L"UDPv6", L"-", L"::", L"5353", L"-", L"-", L"1200", L"C:\\Windows\\System32\\"}},
            {L"My App.exe",
             {L"TCP", L"CLOSE-WAIT", L"127.0.0.1", L"5000", L"127.0.0.1", L"80", L"3000", L"C:\\Tools\\"}},
            {L"agent.exe",
             {L"TCP", L"SYN-SENT", L"10.1.1.1", L"50000", L"198.51.100.1", L"8443", L"5", L"C:\\Tools\\"}},
            {L"probe.exe", {L"TCP", L"UNKNOWN(100)", L"10.9.9.9", L"7", L"10.9.9.10", L"9", L"6", L"C:\\Tools\\"}},
        };
        char label = 'A';
        for (const auto& texts : rows) {
            ConnectionRow row;
            row.caption = texts.caption;
            row.subItems = texts.cells;
            const fake::ListRow facts = fake::RowWithTexts(row);
            fake::Append(list_, facts);
            labels_.push_back({facts.endpoint, label++});
        }
    }

    // The labels of the rows that pass, in label order, each tested the way
    // the list does it: MatchProcess once per process, then Passes per row.
    std::string Passing(const RowFilter& filter) const
    {
        std::map<ProcessTable::Ref, RowFilter::ProcessMatches> byProcess;
        std::string passing;
        for (std::size_t i = 0; i < list_.size(); ++i) {
            const RowFacts facts = list_.Facts(i);
            const auto [match, isNew] = byProcess.try_emplace(list_.ProcessOf(i), 0);
            if (isNew) {
                match->second = filter.MatchProcess(facts.process);
            }
            const bool passes = filter.Passes(facts, match->second);
            EXPECT_EQ(passes, filter.Passes(facts)) << "row " << Label(facts.endpoint);
            if (passes) {
                passing += Label(facts.endpoint);
            }
        }
        std::sort(passing.begin(), passing.end());
        return passing;
    }

private:
    char Label(const EndpointKey& endpoint) const
    {
        for (const auto& [key, label] : labels_) {
            if (key == endpoint) {
                return label;
            }
        }
        return '?';
    }

    ConnectionList list_{nullptr};
    std::vector<std::pair<EndpointKey, char>> labels_;
};

TEST_F(RowFilterTest, QueriesPassTheRowsTheyDescribe)
{
    struct Case {
        const wchar_t* query;
        const char* passing;
        bool showUnconnected = true;
        bool showWaiting = true;
    };
    const Case cases[] = {
        // Plain words: any cell, letters folded, every word must match.
        {L"", "ABCDEFGH"},
        {L" \t \"\" ", "ABCDEFGH"},
        {L"CHROME", "A"},
        {L"system32", "BCE"},
        {L"443", "ADG"},
        {L"tcp", "ABDFGH"},
        {L"udpv6", "E"},
        {L"wait", "DF"},
        {L"1200", "CE"},
        {L"unknown(100)", "H"},
        {L"svchost udpv6", "E"},
        {L"my app", "DF"},
        {L"\"my app\"", "F"},
        {L"-", "CDEFG"},  // the cells that hold "-", UDP rows' State and remote end among them
        // IPv6 addresses are plain words, not keys.
        {L"fe80::1", "D"},
        {L"FE80::1%3", "D"},
        {L"::1", "D"},
        {L"2001:db8", "D"},
        {L"abc:", ""},
        {L"\"foo:bar\"", ""},
        // Keys.
        {L"process:\"my app\"", "F"},
        {L"process:\"my app", "F"},
        {L"process:system32", ""},
        {L"path:system32", "BCE"},
        {L"PATH:tools", "FGH"},
        {L"path:svchost", ""},
        {L"process:", "ABCDEFGH"},
        {L"proto:tcp", "ABDFGH"},
        {L"proto:TCPv", "D"},
        {L"proto:udp", "CE"},
        {L"proto:v6", ""},
        {L"state:listen", "B"},
        {L"state:time_wait", "D"},
        {L"state:TIME-WAIT", "D"},
        {L"state:close", "F"},
        {L"state:wait", ""},
        {L"state:-", "CE"},
        {L"state:unknown", "H"},
        {L"local:10.", "AGH"},
        {L"local:FE80", "D"},
        {L"local:0.0.0.0", "BC"},
        {L"remote:192.0.2", "A"},
        {L"remote:0.", "B"},
        {L"remote:-", "CE"},
        {L"lport:445", "B"},
        {L"lport:5353", "E"},
        {L"rport:0", "B"},  // a UDP row has no remote port, not port 0
        {L"rport:443", "AD"},
        {L"port:443", "AD"},
        {L"port:53", "C"},
        {L"port:0", "B"},
        {L"PID:4", "B"},
        {L"pid:1200", "CE"},
        {L"pid:12", ""},
        {L"port:99999", ""},
        {L"pid:99999999999", ""},
        // Exclusions.
        {L"-svchost", "ADFGH"},
        {L"-port:443", "BCEFGH"},
        {L"-\"my app\"", "ABCDEGH"},
        {L"svchost -udp", "B"},
        {L"--", "ABH"},
        {L"-process:", ""},
        // The View options.
        {L"", "ADFGH", false, true},
        {L"", "ABCEGH", true, false},
        {L"tcp", "AGH", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.query));
        RowFilter filter(c.query);
        filter.ShowUnconnected(c.showUnconnected);
        filter.ShowWaiting(c.showWaiting);
        EXPECT_EQ(filter.Error(), L"");
        EXPECT_EQ(Passing(filter), c.passing);
    }
}

TEST_F(RowFilterTest, WordsPastTheSixtyFourthStillCount)
{
    std::wstring query;
    for (int i = 0; i < 64; ++i) {
        query += L"exe ";
    }
    EXPECT_EQ(Passing(RowFilter(query + L"chrome")), "A");
    EXPECT_EQ(Passing(RowFilter(query + L"-system32")), "ADFGH");
    EXPECT_EQ(Passing(RowFilter(query + L"port:443")), "AD");
}

TEST_F(RowFilterTest, AnErrorNamesTheWordAndPassesNoRow)
{
    const struct {
        const wchar_t* query;
        const wchar_t* error;
    } cases[] = {
        {L"foo:bar", L"Unknown filter key \"foo:\""},
        {L"xyz:", L"Unknown filter key \"xyz:\""},
        {L"-Foo:1", L"Unknown filter key \"Foo:\""},
        {L"g1:2", L"Unknown filter key \"g1:\""},
        {L"port:", L"\"port:\" needs a number"},
        {L"PORT:8o", L"\"PORT:\" needs a number"},
        {L"pid:-1", L"\"pid:\" needs a number"},
        {L"chrome lport:x foo:y", L"\"lport:\" needs a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.query));
        const RowFilter filter(c.query);
        EXPECT_EQ(filter.Error(), c.error);
        EXPECT_FALSE(filter.PassesEverything());
        EXPECT_EQ(Passing(filter), "");
    }
}

TEST(RowFilterOptionsTest, OnlyAnEmptyQueryWithEveryRowShownPassesEverything)
{
    EXPECT_TRUE(RowFilter().PassesEverything());
    EXPECT_TRUE(RowFilter(L" \"\" ").PassesEverything());
    EXPECT_FALSE(RowFilter(L"x").PassesEverything());
    RowFilter hiding;
    hiding.ShowWaiting(false);
    EXPECT_FALSE(hiding.PassesEverything());
    hiding.ShowWaiting(true);
    hiding.ShowUnconnected(false);
    EXPECT_FALSE(hiding.PassesEverything());
}

} // namespace
} // namespace vq::connections

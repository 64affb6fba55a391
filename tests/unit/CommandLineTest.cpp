#include "console/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vq::console {
namespace {

ParsedCommandLine Parse(std::vector<std::wstring> arguments)
{
    return ParseCommandLine(arguments);
}

ConsoleOptions Options(std::vector<std::wstring> arguments)
{
    const ParsedCommandLine parsed = Parse(std::move(arguments));
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        ADD_FAILURE() << "usage error: " << testing::PrintToString(error->message);
    }
    return std::holds_alternative<ConsoleOptions>(parsed) ? std::get<ConsoleOptions>(parsed) : ConsoleOptions{};
}

TEST(CommandLineTest, WithoutArgumentsEveryRowIsListedAsText)
{
    const ConsoleOptions options = Options({});
    EXPECT_EQ(options.families, Families::Both);
    EXPECT_EQ(options.format, OutputFormat::Text);
    EXPECT_FALSE(options.watchSeconds);
    EXPECT_EQ(options.filterQuery, L"");
}

TEST(CommandLineTest, OptionsAndFilterWordsMixInAnyOrder)
{
    const ConsoleOptions options = Options({L"port:443", L"-6", L"--format", L"csv", L"-state:listen", L"chrome"});
    EXPECT_EQ(options.families, Families::IPv6Only);
    EXPECT_EQ(options.format, OutputFormat::Csv);
    EXPECT_EQ(options.filterQuery, L"port:443 -state:listen chrome");

    EXPECT_EQ(Options({L"--format=json", L"-4"}).format, OutputFormat::Json);
    EXPECT_EQ(Options({L"-4", L"-4"}).families, Families::IPv4Only);
    EXPECT_EQ(Options({L"--format", L"text"}).format, OutputFormat::Text);
}

TEST(CommandLineTest, WatchTakesTheNumberThatFollowsOrTwoSeconds)
{
    struct Case {
        std::vector<std::wstring> arguments;
        std::uint32_t seconds;
        std::wstring query;
    };
    const Case cases[] = {
        {{L"--watch"}, 2, L""},
        {{L"--watch", L"1"}, 1, L""},
        {{L"--watch", L"3600", L"443"}, 3600, L"443"},
        {{L"--watch=7", L"10"}, 7, L"10"},
        {{L"--watch", L"tcp"}, 2, L"tcp"},
        {{L"--watch", L"--format", L"json"}, 2, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ConsoleOptions options = Options(c.arguments);
        EXPECT_EQ(options.watchSeconds, c.seconds);
        EXPECT_EQ(options.filterQuery, c.query);
    }
}

TEST(CommandLineTest, QuotedWordsStayOneWordAndDoubleDashEndsTheOptions)
{
    EXPECT_EQ(Options({L"Program Files", L"-two words"}).filterQuery, L"\"Program Files\" -\"two words\"");
    EXPECT_EQ(Options({L"--", L"-4", L"--watch"}).filterQuery, L"-4 --watch");
    EXPECT_EQ(Options({L"-"}).filterQuery, L"-");
}

TEST(CommandLineTest, HelpWinsOverEverythingBeforeIt)
{
    for (const wchar_t* help : {L"--help", L"-h", L"/?"}) {
        EXPECT_TRUE(std::holds_alternative<HelpRequest>(Parse({L"-4", help, L"--bogus"}))) << help;
    }
}

TEST(CommandLineTest, MistakesAreUsageErrorsThatSayWhat)
{
    struct Case {
        std::vector<std::wstring> arguments;
        std::wstring message;
    };
    const Case cases[] = {
        {{L"-4", L"-6"}, L"-4 and -6 cannot be given together."},
        {{L"--format"}, L"--format needs one of text, csv or json."},
        {{L"--format", L"xml"}, L"Unknown format \"xml\": use text, csv or json."},
        {{L"--format=", L"csv"}, L"Unknown format \"\": use text, csv or json."},
        {{L"--format", L"csv", L"--format", L"csv"}, L"--format is given twice."},
        {{L"--watch", L"0"}, L"--watch takes a number of seconds from 1 to 3600, not \"0\"."},
        {{L"--watch", L"3601"}, L"--watch takes a number of seconds from 1 to 3600, not \"3601\"."},
        {{L"--watch=x"}, L"--watch takes a number of seconds from 1 to 3600, not \"x\"."},
        {{L"--watch", L"--watch"}, L"--watch is given twice."},
        {{L"--watch", L"--format", L"csv"}, L"--watch prints JSON lines only; leave out --format or give --format json."},
        {{L"--verbose"}, L"Unknown option \"--verbose\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ParsedCommandLine parsed = Parse(c.arguments);
        ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
        EXPECT_EQ(std::get<UsageError>(parsed).message, c.message);
    }
}

} // namespace
} // namespace vq::console

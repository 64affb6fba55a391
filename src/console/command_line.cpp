#include "console/command_line.h"

#include <string_view>

namespace vq::console {

const wchar_t kUsageText[] =
    L"Usage: velquistcon [-4 | -6] [--format text|csv|json] [--watch [seconds]] [filter words...]\r\n"
    L"  -4, -6            only IPv4 or only IPv6 endpoints (both without either)\r\n"
    L"  --format FORMAT   text (an aligned table, the default), csv or json\r\n"
    L"  --watch [SECONDS] read again every SECONDS (1 to 3600, default 2) and print one JSON\r\n"
    L"                    object per line for every endpoint that opens, closes or changes state\r\n"
    L"  filter words      the same query as the window's filter bar, e.g. port:443 -state:listen\r\n"
    L"  --help            this text\r\n";

namespace {

bool IsDecimal(std::wstring_view text)
{
    return !text.empty() && text.size() <= 9 && text.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

std::optional<std::uint32_t> WatchSeconds(std::wstring_view text)
{
    if (!IsDecimal(text)) {
        return std::nullopt;
    }
    const auto seconds = static_cast<std::uint32_t>(std::stoul(std::wstring(text)));
    if (seconds < 1 || seconds > kLongestWatchSeconds) {
        return std::nullopt;
    }
    return seconds;
}

std::optional<OutputFormat> FormatNamed(std::wstring_view name)
{
    if (name == L"text") {
        return OutputFormat::Text;
    }
    if (name == L"csv") {
        return OutputFormat::Csv;
    }
    if (name == L"json") {
        return OutputFormat::Json;
    }
    return std::nullopt;
}

// A word as the query reads it: one with blanks in quotes, so that it stays one word.
void AppendFilterWord(std::wstring& query, std::wstring_view word)
{
    if (!query.empty()) {
        query += L' ';
    }
    const bool excluded = word.size() > 1 && word.front() == L'-';
    const std::wstring_view body = excluded ? word.substr(1) : word;
    if (body.find_first_of(L" \t") == std::wstring_view::npos) {
        query += word;
        return;
    }
    if (excluded) {
        query += L'-';
    }
    query += L'"';
    query += body;
    query += L'"';
}

} // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::wstring> arguments)
{
    ConsoleOptions options;
    bool familyGiven = false;
    bool formatGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring_view argument = arguments[i];
        if (optionsEnded) {
            AppendFilterWord(options.filterQuery, argument);
            continue;
        }
        const std::size_t equals = argument.find(L'=');
        const std::wstring_view name = argument.starts_with(L"--") ? argument.substr(0, equals) : argument;
        const bool hasInlineValue = argument.starts_with(L"--") && equals != std::wstring_view::npos;
        const std::wstring_view inlineValue = hasInlineValue ? argument.substr(equals + 1) : std::wstring_view{};

        if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            return HelpRequest{};
        } else if (argument == L"-4" || argument == L"-6") {
            const Families family = argument == L"-4" ? Families::IPv4Only : Families::IPv6Only;
            if (familyGiven && family != options.families) {
                return UsageError{L"-4 and -6 cannot be given together."};
            }
            familyGiven = true;
            options.families = family;
        } else if (name == L"--format") {
            if (formatGiven) {
                return UsageError{L"--format is given twice."};
            }
            if (!hasInlineValue && i + 1 == arguments.size()) {
                return UsageError{L"--format needs one of text, csv or json."};
            }
            const std::wstring_view value = hasInlineValue ? inlineValue : std::wstring_view{arguments[++i]};
            const std::optional<OutputFormat> format = FormatNamed(value);
            if (!format) {
                return UsageError{L"Unknown format \"" + std::wstring(value) + L"\": use text, csv or json."};
            }
            formatGiven = true;
            options.format = *format;
        } else if (name == L"--watch") {
            if (options.watchSeconds) {
                return UsageError{L"--watch is given twice."};
            }
            const bool numberFollows = !hasInlineValue && i + 1 < arguments.size() && IsDecimal(arguments[i + 1]);
            if (!hasInlineValue && !numberFollows) {
                options.watchSeconds = kDefaultWatchSeconds;
                continue;
            }
            const std::wstring_view value = hasInlineValue ? inlineValue : std::wstring_view{arguments[++i]};
            options.watchSeconds = WatchSeconds(value);
            if (!options.watchSeconds) {
                return UsageError{L"--watch takes a number of seconds from 1 to 3600, not \"" + std::wstring(value) +
                                  L"\"."};
            }
        } else if (argument.starts_with(L"--")) {
            return UsageError{L"Unknown option \"" + std::wstring(argument) + L"\"."};
        } else {
            AppendFilterWord(options.filterQuery, argument);
        }
    }
    if (options.watchSeconds && formatGiven && options.format != OutputFormat::Json) {
        return UsageError{L"--watch prints JSON lines only; leave out --format or give --format json."};
    }
    return options;
}

} // namespace vq::console

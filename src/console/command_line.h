#pragma once

// The console companion's command line:
//   velquistcon [-4 | -6] [--format text|csv|json] [--watch [seconds]] [filter words...]

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace vq::console {

enum class Families { Both, IPv4Only, IPv6Only };
enum class OutputFormat { Text, Csv, Json };

inline constexpr std::uint32_t kDefaultWatchSeconds = 2;
inline constexpr std::uint32_t kLongestWatchSeconds = 3600;

struct ConsoleOptions {
    Families families = Families::Both;
    OutputFormat format = OutputFormat::Text;
    // Seconds between reads; none: one listing, then the program ends.
    std::optional<std::uint32_t> watchSeconds;
    // The filter words as one query of the filter bar's syntax.
    std::wstring filterQuery;
};

struct HelpRequest {};
// What is wrong with the command line, for the user.
struct UsageError {
    std::wstring message;
};

using ParsedCommandLine = std::variant<ConsoleOptions, HelpRequest, UsageError>;

// Reads the arguments after the program's name. Options may come in any
// order among the filter words; "--" ends the options. "-4" and "-6" are
// options and "-" with anything else is an excluding filter word. A number
// straight after "--watch" is its interval. "--format=csv" and
// "--watch=5" read as the two-word forms. A filter word with blanks (quoted
// in the shell) stays one word of the query.
ParsedCommandLine ParseCommandLine(std::span<const std::wstring> arguments);

// The usage lines, each ending in CR LF.
extern const wchar_t kUsageText[];

} // namespace vq::console

#pragma once

// The console companion: the connection list as text, CSV or JSON for
// scripts, or every change as one JSON line for log shippers.

#include "connections/caption_ranks.h"
#include "platform/console.h"
#include "platform/iphelper.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vq::console {

enum ExitCode : int {
    kExitDone = 0,         // also when the reader of the output went away
    kExitUsage = 1,        // the command line is wrong: the message and the usage on stderr
    kExitTables = 2,       // the IP Helper library, a table function or a table read failed
    kExitOutputFailed = 3, // the output could not be written (a full disk)
};

// What the program meets of the machine beyond the tables.
class ConsoleHost {
public:
    virtual ~ConsoleHost() = default;
    virtual platform::StreamWrite WriteOutput(std::string_view utf8) = 0;
    virtual void WriteError(std::string_view utf8) = 0;
    virtual platform::UtcTime Now() = 0;
    // Waits until the next reading is due; false ends the watch.
    virtual bool WaitForNextReading(std::uint32_t seconds) = 0;
};

// What start-up bound and prepared.
struct ConsoleSystem {
    platform::IpHelperEntryPoints ipHelper;
    std::wstring kernel32Path;
    // The order of captions, as the window's list sorts them.
    connections::CaptionCompare compareCaptions;
};

// Runs the program for the arguments after its name; answers its exit code.
int RunConsole(std::span<const std::wstring> arguments, const ConsoleSystem& system, ConsoleHost& host);

} // namespace vq::console

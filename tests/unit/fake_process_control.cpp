// The fake of the process operations that act on a process rather than read
// it: they log into the fake platform's call log, beside OpenProcess and
// CloseHandle.

#include "fake_platform.h"

#include "platform/process.h"

#include <sstream>
#include <string>

namespace vq::platform {

// Logs "TerminateProcess <process id> <exit code>" for a handle OpenProcess
// gave out and that is still open; any other handle is logged as such and
// refused.
bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode)
{
    fake::FakePlatform& fake = fake::Fake();
    std::ostringstream line;
    line << "TerminateProcess ";
    const bool open = fake.openHandles.count(process) != 0;
    if (open) {
        line << fake.handleProcessIds[process];
    } else {
        line << "unknown handle " << process;
    }
    line << " " << exitCode;
    fake.log.push_back(line.str());
    return open;
}

} // namespace vq::platform

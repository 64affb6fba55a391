// The console companion: binds the IP Helper library as the window does,
// then lists or watches the connections on standard output.

#include "app/ip_helper_binding.h"
#include "console/console_run.h"
#include "platform/console.h"
#include "platform/system.h"
#include "support/support_startup.h"

#include <string>
#include <vector>

namespace {

class StandardStreams final : public vq::console::ConsoleHost {
public:
    vq::platform::StreamWrite WriteOutput(std::string_view utf8) override
    {
        return vq::platform::WriteStandardStream(vq::platform::StandardStream::Output, utf8);
    }
    void WriteError(std::string_view utf8) override
    {
        vq::platform::WriteStandardStream(vq::platform::StandardStream::Error, utf8);
    }
    vq::platform::UtcTime Now() override { return vq::platform::GetUtcTime(); }
    // Runs until stopped: Ctrl+C or Ctrl+Break ends the process.
    bool WaitForNextReading(std::uint32_t seconds) override
    {
        vq::platform::Sleep(seconds * 1000);
        return true;
    }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    using namespace vq;

    platform::RestrictLibrarySearch();
    const std::vector<std::wstring> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Run as the invoking user: no privileges are asked for beyond what the
    // support layer tries, and the 32-bit program reads the same tables on a
    // 64-bit Windows.
    const console::ConsoleSystem system{app::BindIpHelper(), support::StartSupportLayer().kernel32Path,
                                        &platform::CompareText};
    StandardStreams streams;
    return console::RunConsole(arguments, system, streams);
}

// Resolves one process id the way the program does and prints the path.
//
//   process_path_probe <pid>
//
// Prints the path as UTF-8 followed by "\n" (an empty line when there is no
// path) and exits 0; a missing or malformed pid prints a usage line to
// stderr and exits 2. Start-up's preparation runs first: the privileges and
// the kernel32 path.

#include "platform/win32/windows_api.h"
#include "support/process_path.h"
#include "support/support_startup.h"
#include "util/privileges.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <limits>
#include <optional>
#include <string>

namespace {

std::optional<std::uint32_t> ParseProcessId(const wchar_t* text)
{
    if (text == nullptr || *text < L'0' || *text > L'9') {
        return std::nullopt;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long long value = std::wcstoull(text, &end, 10);
    if (errno != 0 || *end != L'\0' || value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          length, nullptr, nullptr);
    return utf8;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::optional<std::uint32_t> processId = argc == 2 ? ParseProcessId(argv[1]) : std::nullopt;
    if (!processId) {
        std::fputs("usage: process_path_probe <pid>\n", stderr);
        return 2;
    }

    vq::util::EnableAllPrivileges(0, 255);
    const vq::support::SystemFacts facts = vq::support::StartSupportLayer();
    vq::support::ProcessPathLookups lookups(facts.kernel32Path);
    const std::string path = Utf8(vq::support::GetProcessPath(*processId, lookups, nullptr)) + "\n";

    // Binary, so that the line ends in exactly "\n".
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(path.data(), 1, path.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Measures how long the program's main window takes to answer. Every 20 ms it
// sends the window WM_NULL and asks its list for the item count, and prints
// "<unix ms at send> <round trip ms> <item count>" per sample (after a first
// line "ready") until the window is gone. A count that failed prints as -1.
//
// usage: vqscaleprobe.exe [interval ms]

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Long enough that a blocked window is measured, not cut short.
constexpr UINT kTimeoutMs = 120000;

double UnixMs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 10000.0;
}

bool Send(HWND window, UINT message, DWORD_PTR& answer)
{
    return SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, kTimeoutMs, &answer) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    const DWORD intervalMs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    // The runner starts the program only once the probe can see it come up.
    std::printf("ready\n");
    std::fflush(stdout);
    HWND window = nullptr;
    HWND list = nullptr;
    while (window == nullptr || list == nullptr) {
        Sleep(intervalMs);
        window = FindWindowW(L"TForm1", nullptr);
        list = window != nullptr ? FindWindowExW(window, nullptr, L"SysListView32", nullptr) : nullptr;
    }
    while (IsWindow(window)) {
        const double sent = UnixMs();
        DWORD_PTR answer = 0;
        const bool answered = Send(window, WM_NULL, answer);
        const double roundTrip = UnixMs() - sent;
        DWORD_PTR count = 0;
        const bool counted = answered && Send(list, LVM_GETITEMCOUNT, count);
        std::printf("%.3f %.3f %ld\n", sent, roundTrip, counted ? static_cast<long>(count) : -1L);
        std::fflush(stdout);
        Sleep(intervalMs);
    }
    return 0;
}

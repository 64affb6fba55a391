#include "platform/console.h"

#include "platform/win32/windows_api.h"

#include <climits>
#include <string>

namespace vq::platform {
namespace {

HANDLE StreamHandle(StandardStream stream)
{
    return ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

StreamWrite Outcome(DWORD error)
{
    // A pipe whose reader closed it, also while a write waited on it; Wine
    // answers a Unix pipe's EPIPE with ERROR_PIPE_NOT_CONNECTED.
    const bool closed = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED;
    return closed ? StreamWrite::Closed : StreamWrite::Failed;
}

StreamWrite WriteToConsole(HANDLE console, std::string_view utf8)
{
    if (utf8.size() > INT_MAX) {
        return StreamWrite::Failed;
    }
    const int length = static_cast<int>(utf8.size());
    const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), wideLength);
    // A console takes a limited amount per call.
    constexpr DWORD kChunk = 16 * 1024;
    for (std::size_t done = 0; done < text.size();) {
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(kChunk, text.size() - done));
        DWORD written = 0;
        if (!::WriteConsoleW(console, text.data() + done, count, &written, nullptr) || written == 0) {
            return Outcome(::GetLastError());
        }
        done += written;
    }
    return StreamWrite::Written;
}

StreamWrite WriteToFile(HANDLE file, std::string_view utf8)
{
    for (std::size_t done = 0; done < utf8.size();) {
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(1u << 30, utf8.size() - done));
        DWORD written = 0;
        if (!::WriteFile(file, utf8.data() + done, count, &written, nullptr)) {
            return Outcome(::GetLastError());
        }
        done += written;
    }
    return StreamWrite::Written;
}

} // namespace

StreamWrite WriteStandardStream(StandardStream stream, std::string_view utf8)
{
    const HANDLE handle = StreamHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return StreamWrite::Written;
    }
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) ? WriteToConsole(handle, utf8) : WriteToFile(handle, utf8);
}

UtcTime GetUtcTime()
{
    SYSTEMTIME time{};
    ::GetSystemTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

} // namespace vq::platform

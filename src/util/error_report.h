#pragma once

#include <exception>
#include <string>

namespace vq::util {

inline constexpr wchar_t kApplicationTitle[] = L"Quarvel Velquist";

// A failure of the program's own, with the text the error report shows.
class AppError : public std::exception {
public:
    explicit AppError(std::wstring message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return "Quarvel Velquist error"; }
    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

// The text of the report: the message, with a full stop appended when its
// last character comes after "." (a letter or digit, not "!" or ")").
std::wstring ErrorReportText(const std::wstring& message);

// The message that describes the exception in flight.
std::wstring MessageOfCurrentException();

// Shows the application's common error report, owned by owner (may be null).
void ShowErrorReport(void* owner, const std::wstring& message);

// Reports the exception in flight; called from a catch block.
inline void ReportCurrentException(void* owner) noexcept
{
    try {
        ShowErrorReport(owner, MessageOfCurrentException());
    } catch (...) {
        // Reporting itself failed (no memory for the text): nothing more to do.
    }
}

// Runs one event handler; a failure that leaves it is reported and the
// program goes on with the next event.
template <typename Handler>
void RunHandler(void* owner, Handler&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        ReportCurrentException(owner);
    }
}

// Runs the work of a window procedure, which no exception may leave: the
// system code that called it cannot unwind. A failure is reported and the
// work's empty result (0) answered. While the report of an earlier failure is
// open, which reportOpen tells, a failure is not reported again: the report's
// box runs a message loop of its own, whose messages may fail the same way.
template <typename Work>
auto RunWindowProcedure(void* owner, bool& reportOpen, Work&& work) noexcept -> decltype(work())
{
    try {
        return work();
    } catch (...) {
        if (!reportOpen) {
            reportOpen = true;
            ReportCurrentException(owner);
            reportOpen = false;
        }
        return decltype(work())();
    }
}

} // namespace vq::util

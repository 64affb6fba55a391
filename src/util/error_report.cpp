#include "util/error_report.h"

#include "platform/system.h"

#include <new>

namespace vq::util {

std::wstring ErrorReportText(const std::wstring& message)
{
    std::wstring text = message;
    if (!text.empty() && text.back() > L'.') {
        text += L'.';
    }
    return text;
}

std::wstring MessageOfCurrentException()
{
    try {
        throw;
    } catch (const AppError& error) {
        return error.message();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& error) {
        const std::string narrow = error.what();
        return std::wstring(narrow.begin(), narrow.end());
    } catch (...) {
        return L"Unknown failure";
    }
}

void ShowErrorReport(void* owner, const std::wstring& message)
{
    platform::MessageBox(owner, ErrorReportText(message), kApplicationTitle,
                         platform::kMbOk | platform::kMbIconError);
}

} // namespace vq::util

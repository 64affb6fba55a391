#include "ui/csv_command.h"

#include "platform/file_dialog.h"
#include "ui/report_command.h"
#include "util/delimited_text.h"
#include "util/error_report.h"

namespace vq::ui {
namespace {

constexpr std::size_t kTabSeparatedType = 1;

// The system's words for an error, without the line break they often end in.
std::wstring Reason(std::uint32_t error)
{
    std::wstring text = platform::FormatSystemMessage(error);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? L"error " + std::to_wstring(error) : text;
}

} // namespace

std::wstring CsvFileName(const platform::LocalTime& time)
{
    std::wstring name = L"Connections ";
    AppendZeroPadded(name, time.year, 4);
    name += L'-';
    AppendZeroPadded(name, time.month, 2);
    name += L'-';
    AppendZeroPadded(name, time.day, 2);
    name += L' ';
    AppendZeroPadded(name, time.hour, 2);
    AppendZeroPadded(name, time.minute, 2);
    AppendZeroPadded(name, time.second, 2);
    return name + L".csv";
}

void SaveListToCsv(const connections::ConnectionList& list, void* owner)
{
    if (list.empty()) {
        return;
    }
    platform::SaveFileRequest request;
    request.owner = owner;
    request.folder = platform::GetDocumentsFolder();
    request.fileName = CsvFileName(platform::GetLocalTime());
    request.types = {{L"CSV (*.csv)", L"*.csv"}, {L"Tab-separated text (*.txt)", L"*.txt"}};
    request.defaultExtension = L"csv";
    const std::optional<platform::SaveFileChoice> choice = platform::AskSaveFilePath(request);
    if (!choice) {
        return;
    }
    // The rows and columns as the report takes them, so both follow what the list shows.
    const ConnectionReportList rows{list};
    const util::Delimiter delimiter =
        choice->type == kTabSeparatedType ? util::Delimiter::Tab : util::Delimiter::Comma;
    const std::uint32_t error = util::ExportListToDelimitedFile(rows, choice->path, delimiter);
    if (error != 0) {
        util::ShowErrorReport(owner, L"Could not save \"" + choice->path + L"\": " + Reason(error));
    }
}

} // namespace vq::ui

#include "ui/report_command.h"

#include "connections/list_columns.h"
#include "platform/shell.h"
#include "ui/lookup_commands.h"
#include "util/error_report.h"

#include <stdexcept>

namespace vq::ui {
namespace {

constexpr wchar_t kReportsFolder[] = L"Reports";
constexpr wchar_t kReportExtension[] = L".htm";
// Gives the file manager time to find the new file.
constexpr std::uint32_t kWaitBeforeFileManager = 10;

} // namespace

void AppendZeroPadded(std::wstring& text, unsigned value, int digits)
{
    std::wstring field(static_cast<std::size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value /= 10) {
        field[static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'0' + value % 10);
    }
    text += field;
}

ConnectionReportList::ConnectionReportList(const connections::ConnectionList& list) : list_(list)
{
    rows_.reserve(list.size());
    for (std::size_t index = 0; index < list.size(); ++index) {
        if (!list.IsClosed(index)) {
            rows_.push_back(index);
        }
    }
}

std::size_t ConnectionReportList::ColumnCount() const
{
    return list_.ColumnCount();
}

std::wstring_view ConnectionReportList::ColumnCaption(std::size_t column) const
{
    if (column >= list_.ColumnCount()) {
        throw std::out_of_range("report column out of range");
    }
    return connections::ColumnCaption(list_.Columns()[column]);
}

std::size_t ConnectionReportList::RowCount() const
{
    return rows_.size();
}

std::wstring_view ConnectionReportList::RowCaption(std::size_t row) const
{
    return list_.Cell(rows_.at(row), 0, buffer_);
}

std::wstring_view ConnectionReportList::SubItem(std::size_t row, std::size_t subItem) const
{
    if (subItem + 1 >= list_.ColumnCount()) {
        throw std::out_of_range("report sub-item out of range");
    }
    return list_.Cell(rows_.at(row), 1 + subItem, buffer_);
}

std::wstring ReportFileName(const platform::LocalTime& time)
{
    std::wstring name;
    AppendZeroPadded(name, time.day, 2);
    name += L'-';
    AppendZeroPadded(name, time.month, 2);
    name += L'-';
    AppendZeroPadded(name, time.year, 4);
    name += L'-';
    AppendZeroPadded(name, time.hour, 2);
    name += L'-';
    AppendZeroPadded(name, time.minute, 2);
    name += L'-';
    AppendZeroPadded(name, time.second, 2);
    return name + kReportExtension;
}

std::wstring ReportPath(const std::wstring& executablePath, const std::wstring& fileName)
{
    const std::size_t folderEnd = executablePath.find_last_of(L"\\/");
    if (folderEnd == std::wstring::npos) {
        return {};
    }
    const wchar_t separator = executablePath[folderEnd];
    return executablePath.substr(0, folderEnd + 1) + kReportsFolder + separator + fileName;
}

void SaveReport(const connections::ConnectionList& list)
{
    if (list.empty()) {
        return;
    }
    const std::wstring fileName = ReportFileName(platform::GetLocalTime());
    try {
        // Without the program's folder the report would land wherever the
        // current folder happens to be: no report then.
        const std::wstring path = ReportPath(platform::GetExecutablePath(), fileName);
        if (path.empty()) {
            return;
        }
        const ConnectionReportList report{list};
        if (!util::ExportListToHtml(util::kApplicationTitle, report, path, true)) {
            return;
        }
        platform::Sleep(kWaitBeforeFileManager);
        platform::ShellExecute(platform::GetDesktopWindow(), L"open", FileManagerPath(),
                               ExplorerSelectParameters(path), L"", platform::kSwShowNormal);
    } catch (...) {
        // The command reports nothing; a report already written stays on disk.
    }
}

} // namespace vq::ui

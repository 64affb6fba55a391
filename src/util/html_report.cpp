#include "util/html_report.h"

#include "platform/files.h"
#include "util/folders.h"
#include "util/utf8.h"

#include <string>

namespace vq::util {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kHeaderCellOpen = "<td BGCOLOR=\"000000\" style=\"color:white\"><b>";
constexpr std::string_view kHeaderCellClose = "</b></td>";
constexpr std::string_view kCentredHeaderCellOpen =
    "<td BGCOLOR=\"000000\" style=\"color:white\"><b><center>";
constexpr std::string_view kCentredHeaderCellClose = "</center></b></td>";
constexpr std::string_view kDataCellOpen = "<td BGCOLOR=\"F5F5F5\">";
constexpr std::string_view kCellClose = "</td>";
constexpr std::string_view kEmptySubItem = "-";

// Text goes out in blocks of about this size rather than one call per cell.
constexpr std::size_t kFlushLength = 64 * 1024;

// The report's bytes on their way to the file. After a failed write nothing
// more is written and the writer stays failed.
class ReportWriter {
public:
    explicit ReportWriter(platform::FileHandle file) : file_(file) { buffer_.reserve(2 * kFlushLength); }

    bool ok() const { return ok_; }

    void Put(std::string_view ascii) { buffer_ += ascii; }

    // Text of the list or the title: UTF-8, with the characters that HTML
    // would read as markup written as references.
    void PutEscaped(std::wstring_view text)
    {
        std::size_t runStart = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::string_view reference = ReferenceFor(text[i]);
            if (!reference.empty()) {
                AppendUtf8(buffer_, text.substr(runStart, i - runStart));
                buffer_ += reference;
                runStart = i + 1;
            }
        }
        AppendUtf8(buffer_, text.substr(runStart));
    }

    void EndLine()
    {
        buffer_ += kLineBreak;
        if (buffer_.size() >= kFlushLength) {
            Flush();
        }
    }

    void PutLine(std::string_view ascii)
    {
        Put(ascii);
        EndLine();
    }

    bool Flush()
    {
        if (ok_ && !buffer_.empty()) {
            ok_ = platform::WriteFile(file_, buffer_.data(), buffer_.size());
        }
        buffer_.clear();
        return ok_;
    }

private:
    static std::string_view ReferenceFor(wchar_t c)
    {
        switch (c) {
        case L'&':
            return "&amp;";
        case L'<':
            return "&lt;";
        case L'>':
            return "&gt;";
        case L'"':
            return "&quot;";
        default:
            return {};
        }
    }

    platform::FileHandle file_;
    std::string buffer_;
    bool ok_ = true;
};

void WriteHeader(ReportWriter& out, std::wstring_view title, const ReportList& list,
                 bool centreHeaderCaptions)
{
    out.Put(kByteOrderMark);
    out.PutLine("<html>");
    out.PutLine("<head>");
    out.Put("<title>");
    out.PutEscaped(title);
    out.Put(" - Report</title>");
    out.EndLine();
    out.PutLine("</head>");
    out.PutLine("<body>");
    out.PutLine("<table border=\"1\" bordercolor=\"#000000\">");
    out.PutLine("<tr>");
    for (std::size_t column = 0; column < list.ColumnCount(); ++column) {
        out.Put(centreHeaderCaptions ? kCentredHeaderCellOpen : kHeaderCellOpen);
        out.PutEscaped(list.ColumnCaption(column));
        out.Put(centreHeaderCaptions ? kCentredHeaderCellClose : kHeaderCellClose);
        out.EndLine();
    }
    out.PutLine("</tr>");
}

// Two lines a row: "<tr>" (continuing the previous row's last line), then the
// caption cell, then the sub-item cells and "</tr>" without a line break.
void WriteRow(ReportWriter& out, const ReportList& list, std::size_t row)
{
    out.PutLine("<tr>");
    out.Put(kDataCellOpen);
    out.PutEscaped(list.RowCaption(row));
    out.Put(kCellClose);
    out.EndLine();
    const std::size_t columns = list.ColumnCount();
    for (std::size_t subItem = 0; subItem + 1 < columns; ++subItem) {
        const std::wstring_view text = list.SubItem(row, subItem);
        out.Put(kDataCellOpen);
        if (text.empty()) {
            out.Put(kEmptySubItem);
        } else {
            out.PutEscaped(text);
        }
        out.Put(kCellClose);
    }
    out.Put("</tr>");
}

// Creates or truncates the file and writes the page; created tells whether
// the file was opened, so that a failure knows there is something to remove.
bool WriteReportFile(std::wstring_view title, const ReportList& list, const std::wstring& filePath,
                     bool centreHeaderCaptions, bool& created)
{
    const platform::UniqueFileHandle file{platform::CreateFile(
        filePath, platform::kGenericWrite, platform::kFileShareRead, platform::kCreateAlways,
        platform::kFileAttributeNormal)};
    if (!file) {
        return false;
    }
    created = true;
    ReportWriter out{file.get()};
    WriteHeader(out, title, list, centreHeaderCaptions);
    for (std::size_t row = 0; row < list.RowCount() && out.ok(); ++row) {
        WriteRow(out, list, row);
    }
    out.Put("</table>");
    out.EndLine();
    out.PutLine("</body>");
    out.PutLine("</html>");
    return out.Flush();
}

} // namespace

bool ExportListToHtml(std::wstring_view title, const ReportList& list, const std::wstring& filePath,
                      bool centreHeaderCaptions)
{
    if (list.RowCount() == 0) {
        return false;
    }
    bool created = false;
    try {
        const std::wstring folder{FolderOf(filePath)};
        if (!folder.empty() && !CreateFolderWithParents(folder)) {
            return false;
        }
        if (WriteReportFile(title, list, filePath, centreHeaderCaptions, created)) {
            return true;
        }
    } catch (...) {
        // Any failure is an unwritten report, reported as such below.
    }
    // The file is closed by now; an incomplete report is not left behind.
    if (created) {
        platform::RemoveFile(filePath);
    }
    return false;
}

} // namespace vq::util

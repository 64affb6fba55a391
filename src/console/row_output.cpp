#include "console/row_output.h"

#include "connections/list_columns.h"
#include "util/delimited_text.h"
#include "util/json_text.h"
#include "util/utf8.h"

#include <algorithm>

namespace vq::console {
namespace {

using connections::ConnectionRow;

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kColumnGap = 2;

std::wstring_view CellOf(const ConnectionRow& row, std::size_t column)
{
    return column == 0 ? std::wstring_view{row.caption} : std::wstring_view{row.subItems[column - 1]};
}

// Characters, not UTF-16 code units: a surrogate pair is one.
std::size_t CharacterCount(std::wstring_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](wchar_t c) {
        return static_cast<std::uint32_t>(c) < 0xDC00 || static_cast<std::uint32_t>(c) > 0xDFFF;
    }));
}

// The rows as the delimited writer reads a list.
class RowsAsList final : public util::ReportList {
public:
    explicit RowsAsList(const std::vector<ConnectionRow>& rows) : rows_(rows) {}
    std::size_t ColumnCount() const override { return connections::kListColumnCount; }
    std::wstring_view ColumnCaption(std::size_t column) const override
    {
        return connections::kListColumnCaptions.at(column);
    }
    std::size_t RowCount() const override { return rows_.size(); }
    std::wstring_view RowCaption(std::size_t row) const override { return rows_.at(row).caption; }
    std::wstring_view SubItem(std::size_t row, std::size_t subItem) const override
    {
        return rows_.at(row).subItems.at(subItem);
    }

private:
    const std::vector<ConnectionRow>& rows_;
};

bool HasRemoteEnd(connections::Protocol protocol)
{
    return protocol == connections::Protocol::Tcp || protocol == connections::Protocol::Tcp6;
}

void AppendStringMember(std::string& out, std::string_view key, std::wstring_view value)
{
    out += ",\"";
    out += key;
    out += "\":";
    util::AppendJsonString(out, value);
}

void AppendNumberMember(std::string& out, std::string_view key, std::uint32_t value)
{
    out += ",\"";
    out += key;
    out += "\":";
    out += std::to_string(value);
}

void AppendNullMember(std::string& out, std::string_view key)
{
    out += ",\"";
    out += key;
    out += "\":null";
}

// The row's members, separated by commas. The state, the remote address and
// the remote port are null for a row without a remote end (UDP), as the
// window shows "-" for them.
void AppendRowMembers(std::string& out, const ConnectionRow& row)
{
    using namespace connections;
    const bool remote = HasRemoteEnd(row.endpoint.protocol);
    out += "\"protocol\":";
    util::AppendJsonString(out, row.subItems[kProtocol]);
    remote ? AppendStringMember(out, "state", row.subItems[kState]) : AppendNullMember(out, "state");
    AppendStringMember(out, "localAddress", row.subItems[kLocalAddress]);
    AppendNumberMember(out, "localPort", row.endpoint.localPort);
    remote ? AppendStringMember(out, "remoteAddress", row.subItems[kRemoteAddress])
           : AppendNullMember(out, "remoteAddress");
    remote ? AppendNumberMember(out, "remotePort", row.endpoint.remotePort) : AppendNullMember(out, "remotePort");
    AppendNumberMember(out, "pid", row.endpoint.processId);
    AppendStringMember(out, "process", row.caption);
    AppendStringMember(out, "path", row.subItems[kProcessFolder]);
}

void AppendDigits(std::string& out, unsigned value, int digits)
{
    std::string field(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value /= 10) {
        field[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
    out += field;
}

std::string_view EventName(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Open:
        return "open";
    case ChangeKind::Close:
        return "close";
    case ChangeKind::State:
        return "state";
    }
    return {};
}

} // namespace

void AppendTextTable(std::string& out, const std::vector<ConnectionRow>& rows)
{
    std::array<std::size_t, connections::kListColumnCount> widths{};
    for (std::size_t column = 0; column < widths.size(); ++column) {
        widths[column] = CharacterCount(connections::kListColumnCaptions[column]);
        for (const ConnectionRow& row : rows) {
            widths[column] = std::max(widths[column], CharacterCount(CellOf(row, column)));
        }
    }
    const auto appendLine = [&](auto&& cellOf) {
        std::size_t pendingBlanks = 0;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            const std::wstring_view cell = cellOf(column);
            // Blanks only before a text that follows: no line ends in blanks.
            if (!cell.empty()) {
                out.append(pendingBlanks, ' ');
                util::AppendUtf8(out, cell);
                pendingBlanks = 0;
            }
            pendingBlanks += widths[column] - CharacterCount(cell) + kColumnGap;
        }
        out += kLineBreak;
    };
    appendLine([](std::size_t column) { return connections::kListColumnCaptions[column]; });
    for (const ConnectionRow& row : rows) {
        appendLine([&row](std::size_t column) { return CellOf(row, column); });
    }
}

void AppendCsv(std::string& out, const std::vector<ConnectionRow>& rows)
{
    util::AppendDelimitedList(out, RowsAsList{rows}, util::Delimiter::Comma);
}

void AppendJsonArray(std::string& out, const std::vector<ConnectionRow>& rows)
{
    // About what a row takes, so a large listing is not copied as it grows.
    constexpr std::size_t kRowLength = 224;
    out.reserve(out.size() + rows.size() * kRowLength);
    out += '[';
    out += kLineBreak;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        out += '{';
        AppendRowMembers(out, rows[index]);
        out += index + 1 < rows.size() ? "}," : "}";
        out += kLineBreak;
    }
    out += ']';
    out += kLineBreak;
}

void AppendJsonEvent(std::string& out, ChangeKind kind, const platform::UtcTime& time, const ConnectionRow& row)
{
    out += "{\"event\":\"";
    out += EventName(kind);
    out += "\",\"time\":\"";
    out += Rfc3339Text(time);
    out += "\",";
    AppendRowMembers(out, row);
    out += '}';
    out += kLineBreak;
}

std::string Rfc3339Text(const platform::UtcTime& time)
{
    std::string text;
    AppendDigits(text, time.year, 4);
    text += '-';
    AppendDigits(text, time.month, 2);
    text += '-';
    AppendDigits(text, time.day, 2);
    text += 'T';
    AppendDigits(text, time.hour, 2);
    text += ':';
    AppendDigits(text, time.minute, 2);
    text += ':';
    AppendDigits(text, time.second, 2);
    text += '.';
    AppendDigits(text, time.millisecond, 3);
    text += 'Z';
    return text;
}

} // namespace vq::console

#include "ui/connection_commands.h"

#include "connections/close_connection.h"
#include "connections/connection_row.h"
#include "platform/clipboard.h"
#include "platform/process.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vq::ui {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;
using connections::RowFacts;

// Closes the connection of every TCP row that qualifies, in list order, with
// one read of the table, and refreshes the list once afterwards if any close
// succeeded. The list does not change during the scan: only the refresh
// touches it.
template <typename Qualifies>
std::size_t CloseTcpRows(const ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                         const RefreshList& refresh, Qualifies qualifies)
{
    std::vector<connections::EndpointKey> endpoints;
    for (std::size_t index = 0; index < list.size(); ++index) {
        const RowFacts row = list.Facts(index);
        if (row.endpoint.protocol == connections::Protocol::Tcp && !list.IsClosed(index) && qualifies(index, row)) {
            endpoints.push_back(row.endpoint);
        }
    }
    const std::size_t closed = connections::CloseTcpConnections(ipHelper, endpoints);
    if (closed > 0 && refresh) {
        refresh();
    }
    return closed;
}

constexpr std::wstring_view kFieldSeparator = L" | ";

// Appends the line of the row at index: its shown cells. The copied text
// carries no blank or control character at its very start (the first line's
// caption and separator lose them), and a line never ends in the blank of a
// separator.
void AppendRowLine(std::wstring& text, const ConnectionList& list, std::size_t index)
{
    const bool firstLine = text.empty();
    connections::CellBuffer buffer;
    text += list.Cell(index, 0, buffer);
    bool lastEmpty = false;
    for (std::size_t column = 1; column < list.ColumnCount(); ++column) {
        const std::wstring_view cell = list.Cell(index, column, buffer);
        text += kFieldSeparator;
        text += cell;
        lastEmpty = cell.empty();
    }
    if (lastEmpty) {
        text.pop_back();
    }
    if (firstLine) {
        const auto kept = std::find_if(text.begin(), text.end(), [](wchar_t c) { return c > L' '; });
        text.erase(text.begin(), kept);
    }
    text += L"\r\n";
}

} // namespace

std::size_t CloseSelectedConnections(const ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                                     const RefreshList& refresh)
{
    if (!list.AnySelected()) {
        return 0;
    }
    return CloseTcpRows(list, ipHelper, refresh,
                        [&list](std::size_t index, const RowFacts&) { return list.IsSelected(index); });
}

std::size_t CloseProcessConnections(const ConnectionList& list,
                                    const platform::IpHelperEntryPoints& ipHelper,
                                    const RefreshList& refresh)
{
    const auto selected = list.FirstSelected();
    if (!selected) {
        return 0;
    }
    const RowFacts process = list.Facts(*selected);
    const std::wstring caption = process.process.caption->text;
    const std::wstring folder = process.process.folder;
    // Without a file name the image is unknown, and rows of other processes
    // whose image is unknown too would otherwise count as the same program.
    const bool imageKnown = !caption.empty();
    const std::uint32_t processId = process.endpoint.processId;
    return CloseTcpRows(list, ipHelper, refresh, [&](std::size_t, const RowFacts& row) {
        return row.process.caption->text == caption && row.process.folder == folder &&
               (imageKnown || row.endpoint.processId == processId);
    });
}

std::size_t CloseAllConnections(const ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                                const RefreshList& refresh)
{
    return CloseTcpRows(list, ipHelper, refresh, [](std::size_t, const RowFacts&) { return true; });
}

void TerminateSelectedProcess(const ConnectionList& list)
{
    const auto selected = list.FirstSelected();
    if (!selected) {
        return;
    }
    const ConnectionRow row = list.row(*selected);
    // The row may outlive its process (the selected row is spared, and rows
    // stay while the automatic refresh is off), and the id may since belong to
    // another process: only the one that started exactly when the row's owner
    // did is that owner. The clock may have been set back since, so no other
    // time tells.
    if (!row.processStartTime) {
        return;
    }
    const platform::UniqueProcess process = platform::OpenProcess(
        platform::kProcessTerminate | platform::kProcessQueryLimitedInformation, row.endpoint.processId);
    if (!process) {
        return;
    }
    std::uint64_t startTime = 0;
    if (!platform::GetProcessStartTime(process.get(), &startTime) || startTime != *row.processStartTime) {
        return;
    }
    // Whether the system ends the process shows at the next refresh.
    static_cast<void>(platform::TerminateProcess(process.get(), 0));
}

std::wstring SelectedRowsText(const ConnectionList& list)
{
    std::wstring text;
    for (const std::size_t index : list.SelectedIndices()) {
        AppendRowLine(text, list, index);
    }
    return text;
}

void CopySelectedRows(const ConnectionList& list, void* owner)
{
    if (!list.AnySelected()) {
        return;
    }
    const std::wstring text = SelectedRowsText(list);
    if (!text.empty()) {
        // A clipboard that stays out of reach is no error worth a message.
        static_cast<void>(platform::SetClipboardText(owner, text));
    }
}

void CopyRemoteAddress(const ConnectionList& list, void* owner)
{
    const auto selected = list.FirstSelected();
    if (!selected) {
        return;
    }
    connections::CellBuffer buffer;
    const std::wstring address(list.Cell(*selected, 1 + connections::kRemoteAddress, buffer));
    static_cast<void>(platform::SetClipboardText(owner, address));
}

} // namespace vq::ui

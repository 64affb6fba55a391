// Commands on the main window's list and status bar.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace vq::e2e::driver {
namespace {

std::wstring RowLine(const ListReader& list, int row, int columns)
{
    const UINT state = list.State(row, LVIS_SELECTED | LVIS_FOCUSED);
    std::wstring line = std::to_wstring(row) + L"\t";
    if ((state & (LVIS_SELECTED | LVIS_FOCUSED)) == 0) {
        line += L"-";
    } else {
        line += (state & LVIS_SELECTED) != 0 ? L"selected" : L"";
        line += (state & LVIS_SELECTED) != 0 && (state & LVIS_FOCUSED) != 0 ? L"," : L"";
        line += (state & LVIS_FOCUSED) != 0 ? L"focused" : L"";
    }
    for (int column = 0; column < columns; ++column) {
        const auto cell = list.Cell(row, column);
        if (!cell) {
            return {};
        }
        line += L"\t" + EscapeField(*cell);
    }
    return line;
}

// The colour most often seen among pixels, as rrggbb.
std::string MostFrequentColour(const std::vector<DWORD>& pixels)
{
    std::map<DWORD, int> counts;
    for (const DWORD pixel : pixels) {
        ++counts[pixel];
    }
    const auto best = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    char text[16];
    std::snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(best->first));
    return text;
}

} // namespace

// count=, columns=, top=, per_page=, then column=<index>\t<width>\t<title>
// for each column and row=<index>\t<state>\t<cell>\t<cell>... for each row
// (or for at most limit rows from first on);
// state is "-" or a comma-separated subset of selected, focused. The rows
// are one reading: when the row count changed while they were read (the
// program refreshed), they are read again.
int Rows(const std::wstring& title, int first, int limit)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int columns = list.ColumnCount();
    if (columns < 0) {
        return Fail("the list did not answer");
    }
    std::vector<ListReader::Column> titles;
    for (int column = 0; column < columns; ++column) {
        const auto info = list.ColumnAt(column);
        if (!info) {
            return Fail("column %d could not be read", column);
        }
        titles.push_back(*info);
    }
    std::vector<std::wstring> lines;
    int count = -1;
    for (int attempt = 0; attempt < 5; ++attempt) {
        count = list.Count();
        if (count < 0) {
            return Fail("the list did not answer");
        }
        lines.clear();
        const int end = limit < 0 ? count : std::clamp(first + limit, 0, count);
        for (int row = std::max(first, 0); row < end; ++row) {
            lines.push_back(RowLine(list, row, columns));
            if (lines.back().empty()) {
                return Fail("row %d could not be read", row);
            }
        }
        if (list.Count() == count) {
            break;
        }
        count = -1;
    }
    if (count < 0) {
        return Fail("the row count kept changing while the rows were read");
    }
    std::printf("count=%d\ncolumns=%d\n", count, columns);
    std::printf("top=%d\nper_page=%d\n", static_cast<int>(Send(target.list, LVM_GETTOPINDEX, 0, 0).value_or(-1)),
                static_cast<int>(Send(target.list, LVM_GETCOUNTPERPAGE, 0, 0).value_or(-1)));
    for (int column = 0; column < columns; ++column) {
        Print("column", std::to_wstring(column) + L"\t" + std::to_wstring(titles[column].width) + L"\t" +
                            EscapeField(titles[column].text));
    }
    for (const std::wstring& line : lines) {
        Print("row", line);
    }
    return 0;
}

// Selects exactly the given rows (none when empty), focuses the first and
// scrolls it into view. The list tells its parent as for a user's click.
int Select(const std::wstring& title, const std::vector<int>& rows)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int count = list.Count();
    for (const int row : rows) {
        if (row < 0 || row >= count) {
            return Fail("row %d is not in a list of %d rows", row, count);
        }
    }
    if (!list.SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED)) {
        return Fail("clearing the selection failed");
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const UINT state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
        if (!list.SetState(rows[i], state, state)) {
            return Fail("selecting row %d failed", rows[i]);
        }
    }
    if (!rows.empty()) {
        Send(target.list, LVM_SETSELECTIONMARK, 0, rows.front());
        Send(target.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows.front()), FALSE);
    }
    Print("selected", Joined(list.Selected()));
    std::printf("focused=%d\n", static_cast<int>(Send(target.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                       MAKELPARAM(LVNI_FOCUSED, 0))
                                                      .value_or(-1)));
    return 0;
}

// parts=<n>, then part=<index>\t<right edge>\t<text> for each panel.
int Status(const std::wstring& title)
{
    auto target = OpenTarget(title, kMemoryAccess, IDC_STATUS_BAR);
    if (!target) {
        return 1;
    }
    constexpr int kMaxParts = 256;
    constexpr int kTextChars = 8192;
    const RemoteMemory memory(target->process.get(), kTextChars * sizeof(wchar_t));
    if (!memory) {
        return Fail("VirtualAllocEx in process %lu failed with %lu", target->pid, GetLastError());
    }
    const auto parts = Send(target->statusBar, SB_GETPARTS, kMaxParts, memory.Param());
    int edges[kMaxParts] = {};
    if (!parts || *parts < 0 || *parts > kMaxParts ||
        !memory.Read(0, edges, static_cast<SIZE_T>(*parts) * sizeof(int))) {
        return Fail("the status bar did not answer its parts");
    }
    std::printf("parts=%d\n", static_cast<int>(*parts));
    for (int part = 0; part < *parts; ++part) {
        const auto length = Send(target->statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
        if (!length || LOWORD(*length) >= kTextChars) {
            return Fail("panel %d: no text length or a text too long", part);
        }
        std::wstring text(LOWORD(*length), L'\0');
        if (!Send(target->statusBar, SB_GETTEXTW, static_cast<WPARAM>(part), memory.Param()) ||
            !memory.Read(0, text.data(), text.size() * sizeof(wchar_t))) {
            return Fail("panel %d could not be read", part);
        }
        Print("part", std::to_wstring(part) + L"\t" + std::to_wstring(edges[part]) + L"\t" + EscapeField(text));
    }
    return 0;
}

// The background of a row's cell as shown on the screen: the most frequent
// colour along the middle line of the cell's right quarter, where a short
// text such as the protocol never reaches, clear of the grid line. A
// selected row shows the selection colour instead, so it is refused.
int RowPixel(const std::wstring& title, int row, int column)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int count = list.Count();
    if (row < 0 || row >= count) {
        return Fail("row %d is not in a list of %d rows", row, count);
    }
    if (list.State(row, LVIS_SELECTED) != 0) {
        return Fail("row %d is selected: its colour is the selection's", row);
    }
    RECT client{};
    GetClientRect(target.list, &client);
    RECT header{};
    if (const auto headerWindow = Send(target.list, LVM_GETHEADER, 0, 0); headerWindow && *headerWindow != 0 &&
                                                                            IsWindowVisible(reinterpret_cast<HWND>(*headerWindow))) {
        GetWindowRect(reinterpret_cast<HWND>(*headerWindow), &header);
        MapWindowPoints(HWND_DESKTOP, target.list, reinterpret_cast<POINT*>(&header), 2);
    }
    auto cell = list.CellRect(row, column);
    const auto visible = [&](const RECT& rect) {
        const int middle = (rect.top + rect.bottom) / 2;
        return middle >= std::max<LONG>(header.bottom, 0) && middle < client.bottom;
    };
    if (cell && !visible(*cell)) {
        Send(target.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        std::printf("scrolled=1\n");
        cell = list.CellRect(row, column);
    }
    if (!cell || !visible(*cell)) {
        return Fail("row %d, column %d has no visible cell", row, column);
    }
    const int width = cell->right - cell->left;
    POINT from{std::max<LONG>(cell->left + width * 3 / 4, 0), (cell->top + cell->bottom) / 2};
    POINT to{std::min<LONG>(cell->right - 3, client.right), from.y};
    if (to.x <= from.x) {
        return Fail("column %d is too narrow to sample (%d pixels shown)", column, static_cast<int>(to.x - from.x));
    }
    MapWindowPoints(target.list, HWND_DESKTOP, &from, 1);
    MapWindowPoints(target.list, HWND_DESKTOP, &to, 1);
    for (const POINT point : {from, POINT{to.x - 1, to.y}}) {
        const HWND shown = WindowFromPoint(point);
        if (shown != target.list) {
            return Fail("another window (%s) covers the cell", Utf8(ClassOf(shown)).c_str());
        }
    }
    // The program may still be painting: two equal readings in a row count.
    std::string colour;
    const ULONGLONG deadline = GetTickCount64() + 2000;
    for (;;) {
        HDC screen = GetDC(nullptr);
        const std::string now = MostFrequentColour(Pixels(screen, from.x, from.y, to.x - from.x, 1));
        ReleaseDC(nullptr, screen);
        if (now == colour || GetTickCount64() >= deadline) {
            colour = now;
            break;
        }
        colour = now;
        Sleep(100);
    }
    std::printf("x=%ld\ny=%ld\nwidth=%ld\nrgb=%s\n", from.x, from.y, to.x - from.x, colour.c_str());
    return 0;
}

int SetColumnWidth(const std::wstring& title, int column, int width)
{
    HWND window = FindTitled(title, false);
    HWND list = window != nullptr ? GetDlgItem(window, IDC_LIST) : nullptr;
    if (list == nullptr) {
        return Fail("no list in a visible window titled %s", Utf8(title).c_str());
    }
    if (!Send(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0))) {
        return Fail("LVM_SETCOLUMNWIDTH was not answered");
    }
    const auto shown = Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
    std::printf("width=%ld\n", shown ? static_cast<long>(*shown) : -1L);
    return 0;
}

} // namespace vq::e2e::driver

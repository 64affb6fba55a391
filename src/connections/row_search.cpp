#include "connections/row_search.h"

#include "util/ascii_text.h"

namespace vq::connections {

std::optional<std::size_t> FindCaptionPrefix(const ConnectionList& list, std::wstring_view typed,
                                             std::size_t start)
{
    const std::size_t count = list.size();
    if (typed.empty() || count == 0) {
        return std::nullopt;
    }
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t index = (start + step) % count;
        if (util::StartsWithIgnoringAsciiCase(list.row(index).caption, typed)) {
            return index;
        }
    }
    return std::nullopt;
}

bool RowContains(const ConnectionRow& row, std::wstring_view text, bool matchCase)
{
    if (util::Contains(row.caption, text, matchCase)) {
        return true;
    }
    for (const std::wstring& cell : row.subItems) {
        if (util::Contains(cell, text, matchCase)) {
            return true;
        }
    }
    return false;
}

std::optional<std::size_t> FindNextRow(const ConnectionList& list, const FindRequest& request,
                                       std::optional<std::size_t> from)
{
    const std::size_t count = list.size();
    if (request.text.empty() || count == 0) {
        return std::nullopt;
    }
    const bool fromRow = from && *from < count;
    for (std::size_t step = 1; step <= count; ++step) {
        std::size_t index = 0;
        if (fromRow) {
            index = request.down ? (*from + step) % count : (*from + count - step) % count;
        } else {
            index = request.down ? step - 1 : count - step;
        }
        if (RowContains(list.row(index), request.text, request.matchCase)) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace vq::connections

#include "connections/row_search.h"

#include "connections/list_columns.h"
#include "util/ascii_text.h"

#include <cstdint>
#include <vector>

namespace vq::connections {
namespace {

// Whether a row has the text in a cell. The caption and folder are the
// process's, so they are searched once per process, not once per row.
class RowMatcher {
public:
    RowMatcher(const ConnectionList& list, const FindRequest& request)
        : list_(list), request_(request), processMatches_(list.Processes().capacity(), kUnknown)
    {
    }

    bool Matches(std::size_t index)
    {
        std::uint8_t& process = processMatches_[list_.ProcessOf(index)];
        if (process == kUnknown) {
            const RowFacts facts = list_.Facts(index);
            process = Contains(facts.process.caption->text) || Contains(facts.process.folder) ? kYes : kNo;
        }
        if (process == kYes) {
            return true;
        }
        const RowFacts facts = list_.Facts(index);
        const ShownColumns& columns = list_.Columns();
        for (std::size_t shown = 1; shown < columns.size(); ++shown) {
            const std::size_t column = columns[shown];
            if (column != 1 + kProcessFolder && Contains(CellText(facts, column, buffer_))) {
                return true;
            }
        }
        return false;
    }

private:
    static constexpr std::uint8_t kUnknown = 0;
    static constexpr std::uint8_t kYes = 1;
    static constexpr std::uint8_t kNo = 2;

    bool Contains(std::wstring_view cell) const { return util::Contains(cell, request_.text, request_.matchCase); }

    const ConnectionList& list_;
    const FindRequest& request_;
    std::vector<std::uint8_t> processMatches_;  // by process reference
    CellBuffer buffer_{};
};

} // namespace

std::optional<std::size_t> FindCaptionPrefix(const ConnectionList& list, std::wstring_view typed,
                                             std::size_t start)
{
    const std::size_t count = list.size();
    if (typed.empty() || count == 0) {
        return std::nullopt;
    }
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t index = (start + step) % count;
        if (!list.IsClosed(index) && util::StartsWithIgnoringAsciiCase(list.CaptionOf(index), typed)) {
            return index;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> FindNextRow(const ConnectionList& list, const FindRequest& request,
                                       std::optional<std::size_t> from)
{
    const std::size_t count = list.size();
    if (request.text.empty() || count == 0) {
        return std::nullopt;
    }
    RowMatcher matcher(list, request);
    const bool fromRow = from && *from < count;
    for (std::size_t step = 1; step <= count; ++step) {
        std::size_t index = 0;
        if (fromRow) {
            index = request.down ? (*from + step) % count : (*from + count - step) % count;
        } else {
            index = request.down ? step - 1 : count - step;
        }
        if (!list.IsClosed(index) && matcher.Matches(index)) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace vq::connections

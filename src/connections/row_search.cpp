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

} // namespace vq::connections

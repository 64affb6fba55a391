#pragma once

#include "connections/connection_list.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vq::connections {

// What the list answers when the user types in it: the first row from start
// on, wrapping around past the end, whose caption begins with the typed
// text, letters compared without case. None when no row matches (or the
// text is empty), so the selection stays where it is. Closed rows are passed
// over, here and by Find.
std::optional<std::size_t> FindCaptionPrefix(const ConnectionList& list, std::wstring_view typed,
                                             std::size_t start);

// What Find looks for: text in any shown cell of a row, with or without matching case (only ASCII letters are folded),
// searching down or up the list.
struct FindRequest {
    std::wstring text;
    bool matchCase = false;
    bool down = true;
};

// The next matching row after from in the request's direction, wrapping
// around at the end of the list and ending with from itself; without from,
// the search starts at the first row (down) or the last (up). None when no
// row matches or the text is empty.
std::optional<std::size_t> FindNextRow(const ConnectionList& list, const FindRequest& request,
                                       std::optional<std::size_t> from);

} // namespace vq::connections

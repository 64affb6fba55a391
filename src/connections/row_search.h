#pragma once

#include "connections/connection_list.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace vq::connections {

// What the list answers when the user types in it: the first row from start
// on, wrapping around past the end, whose caption begins with the typed
// text, letters compared without case. None when no row matches (or the
// text is empty), so the selection stays where it is.
std::optional<std::size_t> FindCaptionPrefix(const ConnectionList& list, std::wstring_view typed,
                                             std::size_t start);

} // namespace vq::connections

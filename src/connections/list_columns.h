#pragma once

// The connection list's columns as the user sees them.

#include "connections/connection_row.h"

#include <array>
#include <string_view>

namespace vq::connections {

// The caption column first, then one column per sub-item in sub-item order.
inline constexpr std::size_t kListColumnCount = 1 + kSubItemCount;
inline constexpr std::array<std::wstring_view, kListColumnCount> kListColumnCaptions = {
    L"Process",        L"Protocol",    L"State",      L"Local Address", L"Local Port",
    L"Remote Address", L"Remote Port", L"Process Id", L"Process Path",
};

} // namespace vq::connections

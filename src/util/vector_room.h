#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vq::util {

// Room for one more item, growing the way push_back would, so that the
// push_back after it cannot fail.
template <typename T>
void ReserveOneMore(std::vector<T>& items)
{
    if (items.size() == items.capacity()) {
        items.reserve(std::max<std::size_t>(16, items.size() * 2));
    }
}

} // namespace vq::util

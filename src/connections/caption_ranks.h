#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vq::connections {

// Orders two captions: negative, zero or positive, like lstrcmpW (which the
// program passes on Windows).
using CaptionCompare = std::function<int(const std::wstring&, const std::wstring&)>;

// A caption in use and its place among all captions in use.
struct RankedCaption {
    std::wstring text;
    std::size_t rank = 0;
    std::size_t users = 0;
};

// The distinct captions of the list, ranked once with the caption order, so
// that sorting rows compares numbers. A list of many rows has few captions,
// so a new caption costs a binary search with the comparison and a renumbering
// of the ranks, and sorting costs no comparison of texts at all.
class CaptionRanks {
public:
    explicit CaptionRanks(CaptionCompare compare);

    // The ranked caption for text, counted as used once more. Ranks keep
    // their order as captions come and go.
    const RankedCaption* Acquire(const std::wstring& text);
    // Counts one use less; the caption goes when nothing uses it.
    void Release(const RankedCaption* caption);

    std::size_t size() const { return ordered_.size(); }

private:
    void Renumber(std::size_t first);

    CaptionCompare compare_;
    std::vector<std::unique_ptr<RankedCaption>> ordered_;
    std::unordered_map<std::wstring, RankedCaption*> byText_;
};

} // namespace vq::connections

#include "connections/caption_ranks.h"

#include <algorithm>

namespace vq::connections {

CaptionRanks::CaptionRanks(CaptionCompare compare) : compare_(std::move(compare))
{
    if (!compare_) {
        compare_ = [](const std::wstring& a, const std::wstring& b) { return a.compare(b); };
    }
}

const RankedCaption* CaptionRanks::Acquire(const std::wstring& text)
{
    if (const auto found = byText_.find(text); found != byText_.end()) {
        ++found->second->users;
        return found->second;
    }
    // After every caption that does not sort behind it.
    const auto place = std::upper_bound(ordered_.begin(), ordered_.end(), text,
                                        [this](const std::wstring& value, const std::unique_ptr<RankedCaption>& item) {
                                            return compare_(value, item->text) < 0;
                                        });
    auto caption = std::make_unique<RankedCaption>();
    caption->text = text;
    caption->users = 1;
    RankedCaption* added = caption.get();
    const auto position = static_cast<std::size_t>(place - ordered_.begin());
    byText_.emplace(text, added);
    try {
        ordered_.insert(place, std::move(caption));
    } catch (...) {
        byText_.erase(text);
        throw;
    }
    Renumber(position);
    return added;
}

void CaptionRanks::Release(const RankedCaption* caption)
{
    if (caption == nullptr) {
        return;
    }
    const std::size_t position = caption->rank;
    RankedCaption& item = *ordered_[position];
    if (--item.users != 0) {
        return;
    }
    byText_.erase(item.text);
    ordered_.erase(ordered_.begin() + static_cast<std::ptrdiff_t>(position));
    Renumber(position);
}

void CaptionRanks::Renumber(std::size_t first)
{
    for (std::size_t i = first; i < ordered_.size(); ++i) {
        ordered_[i]->rank = i;
    }
}

} // namespace vq::connections

#pragma once

#include <cstddef>
#include <vector>

namespace vq::connections {

// Items by the hash of their identity: an open-addressing table with linear
// probing, so that a look-up costs one probe run in one array. Several items
// may share a hash (and an identity); the caller tells them apart.
template <typename Item>
class IdentityIndex {
public:
    void Insert(std::size_t hash, Item* item)
    {
        if ((count_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        Place(hash, item);
        ++count_;
    }

    // Removes the slot that holds item; nothing when it has none.
    void Erase(std::size_t hash, const Item* item)
    {
        if (slots_.empty()) {
            return;
        }
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].item != item) {
            if (slots_[i].item == nullptr) {
                return;
            }
            i = (i + 1) & mask;
        }
        // Shift later members of the probe run back, so no run gets a hole.
        for (std::size_t j = (i + 1) & mask; slots_[j].item != nullptr; j = (j + 1) & mask) {
            const std::size_t home = slots_[j].hash & mask;
            const bool movable = (i <= j) ? (home <= i || home > j) : (home <= i && home > j);
            if (movable) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = Slot{};
        --count_;
    }

    // Calls visit(item) for every item stored under hash.
    template <typename Visit>
    void ForEach(std::size_t hash, Visit&& visit) const
    {
        if (slots_.empty()) {
            return;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask; slots_[i].item != nullptr; i = (i + 1) & mask) {
            if (slots_[i].hash == hash) {
                visit(slots_[i].item);
            }
        }
    }

    std::size_t size() const { return count_; }

private:
    struct Slot {
        std::size_t hash = 0;
        Item* item = nullptr;
    };

    void Place(std::size_t hash, Item* item)
    {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].item != nullptr) {
            i = (i + 1) & mask;
        }
        slots_[i] = Slot{hash, item};
    }

    void Grow()
    {
        std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.item != nullptr) {
                Place(slot.hash, slot.item);
            }
        }
    }

    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t count_ = 0;
};

} // namespace vq::connections

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vq::connections {

// Row ids by the hash of their identity: an open-addressing table with linear
// probing, so that a look-up costs one probe run in one compact array.
// Several ids may share a hash (and an identity); the caller tells them apart.
// A slot keeps the low 32 bits of the hash: 8 bytes a slot, at most two
// slots a row.
class IdentityIndex {
public:
    void Insert(std::size_t hash, std::uint32_t id)
    {
        if ((count_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        Place(hash, id);
        ++count_;
    }

    // Room for count ids in all, so that inserting up to that many does not
    // grow the table again.
    void Reserve(std::size_t count)
    {
        std::size_t size = slots_.empty() ? 16 : slots_.size();
        while (count * 2 > size) {
            size *= 2;
        }
        if (size != slots_.size()) {
            Rehash(size);
        }
    }

    // Removes the slot that holds id; nothing when it has none.
    void Erase(std::size_t hash, std::uint32_t id)
    {
        if (slots_.empty()) {
            return;
        }
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].id != id) {
            if (slots_[i].id == kEmpty) {
                return;
            }
            i = (i + 1) & mask;
        }
        // Shift later members of the probe run back, so no run gets a hole.
        for (std::size_t j = (i + 1) & mask; slots_[j].id != kEmpty; j = (j + 1) & mask) {
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

    // Asks the processor to fetch the slot where hash's run begins.
    void Prefetch(std::size_t hash) const
    {
        if (!slots_.empty()) {
            __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
        }
    }

    // Calls visit(id) for every id stored under hash.
    template <typename Visit>
    void ForEach(std::size_t hash, Visit&& visit) const
    {
        if (slots_.empty()) {
            return;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask; slots_[i].id != kEmpty; i = (i + 1) & mask) {
            if (slots_[i].hash == static_cast<std::uint32_t>(hash)) {
                visit(slots_[i].id);
            }
        }
    }

    std::size_t size() const { return count_; }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t id = kEmpty;
    };

    void Place(std::size_t hash, std::uint32_t id)
    {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].id != kEmpty) {
            i = (i + 1) & mask;
        }
        slots_[i] = Slot{static_cast<std::uint32_t>(hash), id};
    }

    void Grow() { Rehash(slots_.empty() ? 16 : slots_.size() * 2); }

    void Rehash(std::size_t size)
    {
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.id != kEmpty) {
                Place(slot.hash, slot.id);
            }
        }
    }

    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t count_ = 0;
};

} // namespace vq::connections

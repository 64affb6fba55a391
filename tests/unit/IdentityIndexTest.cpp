#include "connections/identity_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace vq::connections {
namespace {

struct Item {
    int id;
};

std::multiset<int> Found(const IdentityIndex<Item>& index, std::size_t hash)
{
    std::multiset<int> ids;
    index.ForEach(hash, [&](Item* item) { ids.insert(item->id); });
    return ids;
}

// Few distinct hashes, some of them at the end of the table, so that probe
// runs collide, wrap around and get holes punched into them by erasure.
TEST(IdentityIndexTest, FindsEveryItemThroughCollisionsWrapAroundAndErasure)
{
    std::vector<Item> items(600);
    for (int i = 0; i < 600; ++i) {
        items[static_cast<std::size_t>(i)].id = i;
    }
    const std::size_t hashes[] = {0, 1, 2, 15, 16, 31, 1023, 1024, 4095, 4096 + 15};
    std::mt19937 random(99);
    IdentityIndex<Item> index;
    std::multimap<std::size_t, int> reference;
    std::vector<std::pair<std::size_t, Item*>> stored;
    for (int step = 0; step < 5000; ++step) {
        const bool insert = stored.empty() || (stored.size() < items.size() && random() % 3 != 0);
        if (insert) {
            Item* item = nullptr;
            for (auto& candidate : items) {
                if (std::none_of(stored.begin(), stored.end(), [&](const auto& s) { return s.second == &candidate; })) {
                    item = &candidate;
                    break;
                }
            }
            const std::size_t hash = hashes[random() % std::size(hashes)];
            index.Insert(hash, item);
            reference.emplace(hash, item->id);
            stored.emplace_back(hash, item);
        } else {
            const std::size_t at = random() % stored.size();
            const auto [hash, item] = stored[at];
            index.Erase(hash, item);
            const auto range = reference.equal_range(hash);
            reference.erase(std::find_if(range.first, range.second, [&](const auto& r) { return r.second == item->id; }));
            stored.erase(stored.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(index.size(), reference.size());
        if (step % 50 == 0 || step > 4900) {
            for (const std::size_t hash : hashes) {
                std::multiset<int> expected;
                const auto range = reference.equal_range(hash);
                for (auto it = range.first; it != range.second; ++it) {
                    expected.insert(it->second);
                }
                ASSERT_EQ(Found(index, hash), expected) << "step " << step << ", hash " << hash;
            }
        }
    }
    Item stranger{-1};
    index.Erase(0, &stranger);  // not stored: nothing happens
    EXPECT_EQ(index.size(), reference.size());
}

} // namespace
} // namespace vq::connections

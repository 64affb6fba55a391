#include "connections/identity_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace vq::connections {
namespace {

std::multiset<int> Found(const IdentityIndex& index, std::size_t hash)
{
    std::multiset<int> ids;
    index.ForEach(hash, [&](std::uint32_t id) { ids.insert(static_cast<int>(id)); });
    return ids;
}

// Few distinct hashes, some of them at the end of the table, so that probe
// runs collide, wrap around and get holes punched into them by erasure.
TEST(IdentityIndexTest, FindsEveryItemThroughCollisionsWrapAroundAndErasure)
{
    constexpr std::uint32_t kItems = 600;
    const std::size_t hashes[] = {0, 1, 2, 15, 16, 31, 1023, 1024, 4095, 4096 + 15};
    std::mt19937 random(99);
    IdentityIndex index;
    std::multimap<std::size_t, int> reference;
    std::vector<std::pair<std::size_t, std::uint32_t>> stored;
    for (int step = 0; step < 5000; ++step) {
        const bool insert = stored.empty() || (stored.size() < kItems && random() % 3 != 0);
        if (insert) {
            std::uint32_t item = 0;
            while (std::any_of(stored.begin(), stored.end(), [&](const auto& s) { return s.second == item; })) {
                ++item;
            }
            const std::size_t hash = hashes[random() % std::size(hashes)];
            index.Insert(hash, item);
            reference.emplace(hash, static_cast<int>(item));
            stored.emplace_back(hash, item);
        } else {
            const std::size_t at = random() % stored.size();
            const auto [hash, item] = stored[at];
            index.Erase(hash, item);
            const auto range = reference.equal_range(hash);
            reference.erase(
                std::find_if(range.first, range.second, [&](const auto& r) { return r.second == static_cast<int>(item); }));
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
    index.Erase(0, 4711);  // not stored: nothing happens
    EXPECT_EQ(index.size(), reference.size());
}

} // namespace
} // namespace vq::connections

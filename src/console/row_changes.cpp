#include "console/row_changes.h"

#include <deque>
#include <unordered_map>

namespace vq::console {
namespace {

struct EndpointHasher {
    std::size_t operator()(const connections::EndpointKey& key) const { return connections::EndpointHash(key); }
};

} // namespace

std::vector<RowChange> ChangesBetween(const std::vector<connections::ConnectionRow>& before,
                                      const std::vector<connections::ConnectionRow>& after)
{
    // The earlier rows of each endpoint, in order, not yet paired.
    std::unordered_map<connections::EndpointKey, std::deque<std::size_t>, EndpointHasher> unpaired;
    unpaired.reserve(before.size());
    for (std::size_t row = 0; row < before.size(); ++row) {
        unpaired[before[row].endpoint].push_back(row);
    }

    std::vector<RowChange> later;
    std::vector<bool> paired(before.size(), false);
    for (std::size_t row = 0; row < after.size(); ++row) {
        const auto found = unpaired.find(after[row].endpoint);
        if (found == unpaired.end() || found->second.empty()) {
            later.push_back({ChangeKind::Open, row});
            continue;
        }
        const std::size_t partner = found->second.front();
        found->second.pop_front();
        paired[partner] = true;
        if (before[partner].tcpState != after[row].tcpState) {
            later.push_back({ChangeKind::State, row});
        }
    }

    std::vector<RowChange> changes;
    for (std::size_t row = 0; row < before.size(); ++row) {
        if (!paired[row]) {
            changes.push_back({ChangeKind::Close, row});
        }
    }
    changes.insert(changes.end(), later.begin(), later.end());
    return changes;
}

} // namespace vq::console

#pragma once

// What changed between two readings of the connection tables, as the watch
// mode reports it.

#include "connections/connection_row.h"

#include <cstddef>
#include <vector>

namespace vq::console {

enum class ChangeKind { Open, Close, State };

struct RowChange {
    ChangeKind kind;
    // The row in the earlier reading for Close, in the later one otherwise.
    std::size_t row;
};

// Rows are the same endpoint when their endpoints (process id included) are
// equal. Every row of the later reading without a partner in the earlier
// one opened; every row of the earlier one without a partner in the later
// one closed; a partner whose state differs changed state. Equal endpoints
// that occur more than once are paired in order, so a second copy opens or
// closes on its own. Closes come first in the earlier reading's order, then
// opens and state changes in the later one's. Linear in the rows.
std::vector<RowChange> ChangesBetween(const std::vector<connections::ConnectionRow>& before,
                                      const std::vector<connections::ConnectionRow>& after);

} // namespace vq::console

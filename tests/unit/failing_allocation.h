#pragma once

// The unit tests' own global allocation functions, which a test can tell to
// fail: the way to see what a failure half-way through an operation leaves
// behind. Unarmed they allocate as usual.

#include <cstddef>

namespace vq::fake {

// While it lives, the allocation after `succeeding` more ones fails: it
// throws std::bad_alloc, or answers null where it may not throw. Later
// allocations succeed again.
class FailingAllocation {
public:
    explicit FailingAllocation(std::size_t succeeding);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Whether the allocation has failed yet.
    bool Failed() const;
};

} // namespace vq::fake

#pragma once

#include <cstddef>

namespace vq::bench {

// The heap this program holds now: the usable size of the live blocks of
// every operator new (the allocator's own header per block is not included).
// Linking heap_count.cpp into a program counts its operator new and delete.
std::size_t LiveHeapLength();

} // namespace vq::bench

// Replaces the global operator new and delete so that a benchmark can tell how
// much heap a structure holds. Kept in its own file, apart from the code that
// allocates, so the compiler never sees a new paired with the free below.

#include "heap_count.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> g_liveHeapLength{0};
} // namespace

std::size_t vq::bench::LiveHeapLength()
{
    return g_liveHeapLength.load(std::memory_order_relaxed);
}

void* operator new(std::size_t length)
{
    void* block = std::malloc(length == 0 ? 1 : length);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    g_liveHeapLength.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
    return block;
}

void operator delete(void* block) noexcept
{
    if (block != nullptr) {
        g_liveHeapLength.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
        std::free(block);
    }
}

void* operator new[](std::size_t length) { return operator new(length); }
void* operator new(std::size_t length, const std::nothrow_t&) noexcept
{
    try {
        return operator new(length);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t length, const std::nothrow_t& tag) noexcept { return operator new(length, tag); }
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete(block); }

#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace vq::fake {
namespace {

// The armed failure: the allocations still to succeed before it, and whether
// it has happened.
bool g_armed = false;
std::size_t g_succeeding = 0;
bool g_failed = false;

// Counts an allocation; false for the one that is to fail.
bool MaySucceed()
{
    if (!g_armed || g_failed) {
        return true;
    }
    if (g_succeeding == 0) {
        g_failed = true;
        return false;
    }
    --g_succeeding;
    return true;
}

void* Allocate(std::size_t size) noexcept
{
    return MaySucceed() ? std::malloc(size == 0 ? 1 : size) : nullptr;
}

void* AllocateOrThrow(std::size_t size)
{
    void* memory = Allocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

} // namespace

FailingAllocation::FailingAllocation(std::size_t succeeding)
{
    g_succeeding = succeeding;
    g_failed = false;
    g_armed = true;
}

FailingAllocation::~FailingAllocation()
{
    g_armed = false;
}

bool FailingAllocation::Failed() const
{
    return g_failed;
}

} // namespace vq::fake

// Every plain form, so that what one form allocates another can free.
void* operator new(std::size_t size)
{
    return vq::fake::AllocateOrThrow(size);
}

void* operator new[](std::size_t size)
{
    return vq::fake::AllocateOrThrow(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return vq::fake::Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return vq::fake::Allocate(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

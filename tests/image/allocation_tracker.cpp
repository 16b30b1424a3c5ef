#include "allocation_tracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The test program's own operator new records the largest request while a tracker is
// active, so a test can show that a decoder refused a size without allocating it.
namespace {
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largestRequest{0};
} // namespace

void* operator new(std::size_t size)
{
    if (tracking.load(std::memory_order_relaxed)) {
        std::size_t seen = largestRequest.load(std::memory_order_relaxed);
        while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

AllocationTracker::AllocationTracker()
{
    largestRequest = 0;
    tracking = true;
}

AllocationTracker::~AllocationTracker()
{
    tracking = false;
}

std::size_t AllocationTracker::largest() const
{
    return largestRequest.load();
}

#include "support/allocation_counter.h"

#include "support/sanitizer_hooks.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
long allocationCount = 0;
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largestRequest{0};

void noteAllocation(std::size_t size)
{
    ++allocationCount;
    if (!tracking.load(std::memory_order_relaxed))
        return;
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
}
} // namespace

long AllocationCount() { return allocationCount; }

AllocationTracker::AllocationTracker()
{
    largestRequest = 0;
    tracking = true;
}

AllocationTracker::~AllocationTracker() { tracking = false; }

std::size_t AllocationTracker::largest() const { return largestRequest.load(); }

// Every allocation goes through malloc, calloc or realloc (operator new and the vertex
// arrays alike), so counting there sees them all.
#ifdef TALDREX_ADDRESS_SANITIZER
namespace {
void countAllocation(const volatile void*, std::size_t size) { noteAllocation(size); }
void ignoreRelease(const volatile void*) {}
const int hooked = __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreRelease);
} // namespace
#else
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);

void* malloc(size_t size) noexcept
{
    noteAllocation(size);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept
{
    noteAllocation(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) noexcept
{
    noteAllocation(size);
    return __libc_realloc(p, size);
}
}

void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

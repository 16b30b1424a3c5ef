#include "heap_meter.h"

#include "support/sanitizer_hooks.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include <malloc.h>

namespace {

// Signed, so that a block released here but allocated where no count was taken (a C
// library function calling its internal allocator) cannot wrap the count around.
std::atomic<long long> inUse{0};
std::atomic<long long> peak{0};

void grow(std::size_t size)
{
    long long bytes = static_cast<long long>(size);
    long long now = inUse.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    long long seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void shrink(std::size_t bytes)
{
    inUse.fetch_sub(static_cast<long long>(bytes), std::memory_order_relaxed);
}

} // namespace

#ifdef TALDREX_ADDRESS_SANITIZER

// The sanitizer owns malloc; its hooks report every block as it comes and goes.
namespace {
void allocated(const volatile void*, std::size_t bytes) { grow(bytes); }
void released(const volatile void* pointer)
{
    if (pointer)
        shrink(__sanitizer_get_allocated_size(pointer));
}
const int hooked = __sanitizer_install_malloc_and_free_hooks(allocated, released);
} // namespace

#else

// The program's own allocation functions stand in front of the C library's and count
// every block by its usable size (operator new and the growable arrays alike end here).
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);

namespace {
void* counted(void* pointer)
{
    if (pointer)
        grow(malloc_usable_size(pointer));
    return pointer;
}
} // namespace

void* malloc(std::size_t size) noexcept { return counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) noexcept { return counted(__libc_calloc(count, size)); }
void free(void* pointer) noexcept
{
    if (pointer)
        shrink(malloc_usable_size(pointer));
    __libc_free(pointer);
}
void* realloc(void* pointer, std::size_t size) noexcept
{
    std::size_t before = pointer ? malloc_usable_size(pointer) : 0;
    void* moved = __libc_realloc(pointer, size);
    // A failed realloc leaves the old block; realloc to 0 releases it.
    if (moved || size == 0) {
        shrink(before);
        counted(moved);
    }
    return moved;
}
void* memalign(std::size_t alignment, std::size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    return memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept
{
    void* pointer = memalign(alignment, size);
    if (!pointer)
        return ENOMEM;
    *out = pointer;
    return 0;
}
}

#endif

long long heapInUse()
{
    return inUse.load(std::memory_order_relaxed);
}

HeapMeter::HeapMeter() : start_(heapInUse())
{
    peak.store(start_, std::memory_order_relaxed);
}

std::size_t HeapMeter::rise() const
{
    long long highest = peak.load(std::memory_order_relaxed);
    return highest > start_ ? static_cast<std::size_t>(highest - start_) : 0;
}

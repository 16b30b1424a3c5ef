// Counts every allocation of a test program, for tests proving that a path allocates
// nothing, and notes the largest request while a tracker lives, for tests proving that a
// refused size was never allocated. Linking allocation_counter.cpp puts a counting malloc,
// calloc, realloc and operator new in place (or, under AddressSanitizer, the sanitizer's
// allocation hook).
#pragma once

#include <cstddef>

// The number of allocations the program has made so far.
long AllocationCount();

// The largest single allocation made while it lives (one tracker at a time).
class AllocationTracker {
public:
    AllocationTracker();
    ~AllocationTracker();
    AllocationTracker(const AllocationTracker&) = delete;
    AllocationTracker& operator=(const AllocationTracker&) = delete;

    // The largest request in bytes since construction.
    std::size_t largest() const;
};

// Test helper: the largest single allocation made through operator new while it lives.
#pragma once

#include <cstddef>

class AllocationTracker {
public:
    AllocationTracker();
    ~AllocationTracker();
    AllocationTracker(const AllocationTracker&) = delete;
    AllocationTracker& operator=(const AllocationTracker&) = delete;

    // The largest request in bytes since construction.
    std::size_t largest() const;
};

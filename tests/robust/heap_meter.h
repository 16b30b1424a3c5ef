// HeapMeter: the heap bytes a piece of work holds at its peak, counted at every allocation.
#pragma once

#include <cstddef>

// Bytes of heap in use by the whole program right now, as far as it was counted.
long long heapInUse();

// Watches the heap from its construction on: rise() is the most that was in use at any
// moment since then, minus what was in use at the start.
class HeapMeter {
public:
    HeapMeter();
    std::size_t rise() const;

private:
    long long start_;
};

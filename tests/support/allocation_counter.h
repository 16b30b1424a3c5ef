// Counts every allocation of a test program, for tests proving that a path allocates nothing.
// Linking allocation_counter.cpp puts a counting malloc, calloc, realloc and operator new in
// place (or, under AddressSanitizer, the sanitizer's allocation hook).
#pragma once

// The number of allocations the program has made so far.
long AllocationCount();

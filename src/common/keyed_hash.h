// Keyed hashing of names: a hash that hostile input cannot aim at, for hash tables keyed by
// names read from files. std::hash of a string is the same in every run, so names can be made
// to share one bucket; SipHash under a key drawn once per process cannot be predicted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// SipHash-2-4 of the bytes under the 128-bit key (k0, k1).
uint64_t SipHash24(const void* data, size_t size, uint64_t k0, uint64_t k1);

// SipHash-2-4 under this process's own random key, drawn on first use.
struct KeyedNameHash {
    size_t operator()(std::string_view name) const;
};

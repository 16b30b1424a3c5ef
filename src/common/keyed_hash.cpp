#include "common/keyed_hash.h"

#include <cstring>
#include <random>

namespace {

uint64_t rotate(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

struct SipState {
    uint64_t v0, v1, v2, v3;

    void round()
    {
        v0 += v1;
        v1 = rotate(v1, 13);
        v1 ^= v0;
        v0 = rotate(v0, 32);
        v2 += v3;
        v3 = rotate(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotate(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotate(v1, 17);
        v1 ^= v2;
        v2 = rotate(v2, 32);
    }

    void absorb(uint64_t word)
    {
        v3 ^= word;
        round();
        round();
        v0 ^= word;
    }
};

struct ProcessKey {
    uint64_t k0, k1;
    ProcessKey()
    {
        std::random_device device;
        k0 = (uint64_t(device()) << 32) | device();
        k1 = (uint64_t(device()) << 32) | device();
    }
};

} // namespace

uint64_t SipHash24(const void* data, size_t size, uint64_t k0, uint64_t k1)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    SipState s{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
               k1 ^ 0x7465646279746573ULL};
    const size_t whole = size - size % 8;
    for (size_t i = 0; i < whole; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8); // little-endian, as the algorithm reads it
        s.absorb(word);
    }
    uint64_t last = uint64_t(size) << 56;
    for (size_t i = whole; i < size; ++i)
        last |= uint64_t(bytes[i]) << (8 * (i - whole));
    s.absorb(last);
    s.v2 ^= 0xff;
    for (int i = 0; i < 4; ++i)
        s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

size_t KeyedNameHash::operator()(std::string_view name) const
{
    static const ProcessKey key;
    return static_cast<size_t>(SipHash24(name.data(), name.size(), key.k0, key.k1));
}

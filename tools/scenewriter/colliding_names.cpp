#include "colliding_names.h"

#include <cstring>
#include <random>
#include <unordered_set>

namespace {

constexpr uint64_t mul = (uint64_t(0xc6a4a793) << 32) + 0x5bd1e995;
constexpr uint64_t hashSeed = 0xc70f6907;
constexpr size_t nameBytes = 16;

// Its own inverse: the top 47 bits pass unchanged and give back the rest.
uint64_t shiftMix(uint64_t v) { return v ^ (v >> 47); }

// The inverse of an odd number modulo 2^64, by Newton's iteration.
uint64_t inverse(uint64_t a)
{
    uint64_t x = a;
    for (int i = 0; i < 6; ++i)
        x *= 2 - a * x;
    return x;
}

// A byte that a node name keeps: not the terminating zero, not folded to lower case.
bool nameByte(unsigned char c) { return c != 0 && !(c >= 'A' && c <= 'Z'); }

bool nameWord(uint64_t word)
{
    for (int i = 0; i < 8; ++i)
        if (!nameByte(static_cast<unsigned char>(word >> (8 * i))))
            return false;
    return true;
}

uint64_t randomNameWord(std::mt19937_64& random)
{
    for (;;) {
        uint64_t word = random();
        if (nameWord(word))
            return word;
    }
}

std::string nameOf(uint64_t first, uint64_t second)
{
    std::string name(nameBytes, '\0');
    std::memcpy(&name[0], &first, 8);
    std::memcpy(&name[8], &second, 8);
    return name;
}

} // namespace

std::vector<std::string> CollidingNames(int count, uint64_t seed)
{
    // Two 8-byte blocks: h1 = (h0 ^ mix(k1)) * mul after the first, and the second block is
    // solved so that the state after it is the same fixed value for every first block.
    const uint64_t mulInverse = inverse(mul);
    const uint64_t h0 = hashSeed ^ (nameBytes * mul);
    const uint64_t target = 0x7a1d7e5c0ffee123ULL;
    std::mt19937_64 random(seed);
    std::unordered_set<uint64_t> used;
    std::vector<std::string> names;
    while (static_cast<int>(names.size()) < count) {
        uint64_t k1 = randomNameWord(random);
        uint64_t h1 = (h0 ^ (shiftMix(k1 * mul) * mul)) * mul;
        uint64_t d2 = h1 ^ (target * mulInverse);
        uint64_t k2 = shiftMix(d2 * mulInverse) * mulInverse;
        if (nameWord(k2) && used.insert(k1).second)
            names.push_back(nameOf(k1, k2));
    }
    return names;
}

std::vector<std::string> RandomNames(int count, uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::unordered_set<std::string> used;
    std::vector<std::string> names;
    while (static_cast<int>(names.size()) < count) {
        std::string name = nameOf(randomNameWord(random), randomNameWord(random));
        if (used.insert(name).second)
            names.push_back(name);
    }
    return names;
}

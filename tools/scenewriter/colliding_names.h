// Node names that all fall into one bucket of a std::unordered_map keyed by name: the input a
// hostile scene file uses to make name lookups quadratic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// count distinct 16-byte names that libstdc++'s std::hash<std::string_view> (MurmurHash64A,
// seed 0xc70f6907) maps to the same value, made from seed. Every byte is a valid node-name
// byte that reading leaves as it is: no zero and no A to Z.
std::vector<std::string> CollidingNames(int count, uint64_t seed);

// count distinct 16-byte names of the same alphabet drawn at random from seed.
std::vector<std::string> RandomNames(int count, uint64_t seed);

// Smooth pseudo-random patterns for the pictures: value noise on a lattice that can wrap,
// so textures tile, and its sum over octaves. Pure functions of their arguments.
#pragma once

#include <cstdint>

// A well-mixed 32-bit hash of three integers.
uint32_t hash3(int32_t x, int32_t y, uint32_t seed);

// The hash as a value in [0, 1).
float hashUnit(int32_t x, int32_t y, uint32_t seed);

// Value noise in [0, 1) at (x, y), lattice spacing 1, smoothly interpolated. With period
// greater than 0 the lattice repeats every period units in both directions.
float valueNoise(float x, float y, uint32_t seed, int period = 0);

// Octaves of value noise, each twice the frequency and half the weight of the one before,
// normalised to [0, 1). The period (if any) applies to the first octave and doubles with it.
float fractalNoise(float x, float y, int octaves, uint32_t seed, int period = 0);

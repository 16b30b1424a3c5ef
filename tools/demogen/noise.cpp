#include "noise.h"

#include <cmath>

uint32_t hash3(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9e3779b1u;
    h ^= uint32_t(x) * 0x85ebca6bu;
    h = (h << 13) | (h >> 19);
    h ^= uint32_t(y) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float hashUnit(int32_t x, int32_t y, uint32_t seed)
{
    return float(hash3(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float valueNoise(float x, float y, uint32_t seed, int period)
{
    float fx = std::floor(x);
    float fy = std::floor(y);
    int32_t x0 = int32_t(fx);
    int32_t y0 = int32_t(fy);
    float tx = x - fx;
    float ty = y - fy;
    // Quintic easing: no visible creases along the lattice lines.
    float sx = tx * tx * tx * (tx * (tx * 6.0f - 15.0f) + 10.0f);
    float sy = ty * ty * ty * (ty * (ty * 6.0f - 15.0f) + 10.0f);
    auto at = [&](int32_t ix, int32_t iy) {
        if (period > 0) {
            ix = ((ix % period) + period) % period;
            iy = ((iy % period) + period) % period;
        }
        return hashUnit(ix, iy, seed);
    };
    float a = at(x0, y0);
    float b = at(x0 + 1, y0);
    float c = at(x0, y0 + 1);
    float d = at(x0 + 1, y0 + 1);
    float top = a + (b - a) * sx;
    float bottom = c + (d - c) * sx;
    return top + (bottom - top) * sy;
}

float fractalNoise(float x, float y, int octaves, uint32_t seed, int period)
{
    float sum = 0.0f;
    float weight = 1.0f;
    float total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += valueNoise(x, y, seed + uint32_t(i) * 101u, period) * weight;
        total += weight;
        weight *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
    }
    return sum / total;
}

// The show's colours: one night-time palette (deep blues, violet, magenta, coral, gold
// and a cyan accent) that every picture draws from, and the arithmetic to blend them.
#pragma once

#include <algorithm>
#include <cstddef>

struct Colour {
    float r;
    float g;
    float b;
};

// A colour from 8-bit components.
constexpr Colour rgb(int r, int g, int b)
{
    return {float(r) / 255.0f, float(g) / 255.0f, float(b) / 255.0f};
}

inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, float s) { return {a.r * s, a.g * s, a.b * s}; }

// a at t = 0, b at t = 1 (t is clamped).
inline Colour mix(Colour a, Colour b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

namespace palette {

constexpr Colour Night = rgb(10, 6, 34);
constexpr Colour Indigo = rgb(36, 24, 86);
constexpr Colour Violet = rgb(104, 44, 148);
constexpr Colour Magenta = rgb(232, 56, 138);
constexpr Colour Coral = rgb(255, 118, 92);
constexpr Colour Gold = rgb(255, 206, 102);
constexpr Colour Cyan = rgb(60, 222, 232);
constexpr Colour Ice = rgb(238, 240, 255);

} // namespace palette

// The colour at t in [0, 1] along stops spaced evenly from the first to the last.
template <size_t N>
Colour gradient(const Colour (&stops)[N], float t)
{
    t = std::clamp(t, 0.0f, 1.0f) * float(N - 1);
    size_t i = std::min(size_t(t), N - 2);
    return mix(stops[i], stops[i + 1], t - float(i));
}

// glTF's base colour arithmetic for the tests that check baked colours: texels are sRGB,
// factors multiply in linear light.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

inline double SrgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

inline double LinearToSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// The sRGB bytes of a texel's colour under a base colour factor.
inline std::array<uint8_t, 3> TintedTexel(const uint8_t* texel, const std::array<double, 3>& factor)
{
    std::array<uint8_t, 3> out{};
    for (size_t c = 0; c < 3; ++c)
        out[c] = uint8_t(std::lround(LinearToSrgb(SrgbToLinear(texel[c] / 255.0) * factor[c]) * 255));
    return out;
}

// Texture wrapping the player does not do: it repeats every picture, so a sampler that
// clamps or mirrors is baked into a picture of its own that, repeated, looks as glTF's
// sampler would, with the texture coordinates moved into it. The player's materials carry
// no colour either, so a base colour factor is baked into the picture it multiplies.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace gltf_import {

enum class Wrap { Repeat, ClampToEdge, MirroredRepeat };

// The wrap mode of a glTF sampler's wrapS or wrapT value; Repeat for any other value.
Wrap WrapOf(int glValue);

// A picture's pixels as its file holds them (no gamma applied), rows top first, three
// bytes (RGB) or four (RGBA) per pixel.
struct RawPicture {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<unsigned char> pixels;
};

// Decodes PNG or JPEG bytes into their raw pixels; false, with problem saying why, when
// they do not decode, pass maxSide pixels a side or the player's picture limits, or the
// memory cannot be had.
bool DecodeRawPicture(const std::string& bytes, int maxSide, RawPicture& picture, std::string& problem);

// What one axis of the baked picture holds: pixel i of its size pixels is the source's
// pixel source(i), and a coordinate c becomes (c * sourceSize - first) / size.
struct AxisBake {
    int sourceSize = 1;
    int first = 0;
    int size = 1;
    bool mirrored = false;

    bool changes() const { return mirrored || first != 0 || size != sourceSize; }
    int source(int i) const;
    double coordinate(double c) const;
};

// The bake of one axis of a picture sourceSize pixels long whose coordinates run from low to
// high: MirroredRepeat doubles it, mirrored, ClampToEdge widens it with its edge pixels over
// [low, high] where that leaves [0, 1]. False, leaving the axis as it is, when a clamped
// axis would pass maxTimes its size or maxSide pixels.
bool PlanAxis(Wrap wrap, int sourceSize, double low, double high, int maxTimes, int maxSide, AxisBake& axis);

// The picture the two axes' bakes make of source; empty when it would pass the player's
// picture limits or the memory cannot be had.
RawPicture BakePicture(const RawPicture& source, const AxisBake& s, const AxisBake& t);

// Multiplies the picture's red, green and blue by factor as glTF does, in linear light: its
// values read as sRGB, the products written back as sRGB. Alpha is kept.
void TintPicture(RawPicture& picture, const std::array<double, 3>& factor);

} // namespace gltf_import

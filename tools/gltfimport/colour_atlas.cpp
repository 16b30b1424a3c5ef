#include "colour_atlas.h"

#include "image/decoded_image.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace gltf_import {

namespace {

unsigned char srgbByte(double linear)
{
    const double c = std::clamp(linear, 0.0, 1.0);
    return static_cast<unsigned char>(
        std::lround((c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055) * 255));
}

int powerOfTwoAtLeast(int v)
{
    int p = 1;
    while (p < v)
        p *= 2;
    return p;
}

} // namespace

bool BakeColourAtlas(const std::vector<FaceColours>& faces, int maxSide, ColourAtlas& atlas)
{
    atlas = ColourAtlas();
    constexpr int side = ColourPatchSide;
    // A face's corners lie a quarter of the patch in from its edges: the player's first two
    // mipmap levels then sample it within the patch, not from its neighbours in the atlas.
    constexpr int inset = side / 4, span = side - 2 * inset - 1;
    // Each face's patch; faces of one colour throughout share the first patch of it.
    std::vector<int> patchOf(faces.size());
    std::vector<bool> plain(faces.size());
    std::map<std::array<unsigned char, 3>, int> plainPatch;
    int patches = 0;
    for (size_t f = 0; f < faces.size(); ++f) {
        std::array<std::array<unsigned char, 3>, 3> bytes;
        for (size_t c = 0; c < 3; ++c)
            for (size_t k = 0; k < 3; ++k)
                bytes[c][k] = srgbByte(faces[f][c][k]);
        plain[f] = bytes[0] == bytes[1] && bytes[0] == bytes[2];
        if (!plain[f]) {
            patchOf[f] = patches++;
            continue;
        }
        auto found = plainPatch.emplace(bytes[0], patches);
        if (found.second)
            ++patches;
        patchOf[f] = found.first->second;
    }
    if (patches == 0)
        return false;
    const long long texels = static_cast<long long>(patches) * side * side;
    int width = side;
    while (static_cast<long long>(width) * width < texels)
        width *= 2;
    const int across = width / side;
    const int height = powerOfTwoAtLeast((patches + across - 1) / across * side);
    if (width > maxSide || height > maxSide ||
        !AllocateZeroed(atlas.picture.pixels, size_t(width) * size_t(height) * 3))
        return false;
    atlas.picture.width = width;
    atlas.picture.height = height;
    atlas.picture.channels = 3;
    atlas.patches = patches;
    atlas.uvs.resize(faces.size());
    std::vector<bool> filled(size_t(patches), false);
    for (size_t f = 0; f < faces.size(); ++f) {
        const int patch = patchOf[f];
        const int x0 = patch % across * side, y0 = patch / across * side;
        if (!filled[size_t(patch)]) {
            filled[size_t(patch)] = true;
            // Corner 0 at the middle of texel (inset, inset), corner 1 along s, corner 2
            // along t, inset from the far edges alike: every texel of the patch holds the
            // one linear blend of the colours, carried on past the face's edges, so the
            // player's filtering blends them exactly, and so do its mipmap levels as long as
            // a texel of theirs lies within the patch.
            const FaceColours& c = faces[f];
            for (int j = 0; j < side; ++j)
                for (int i = 0; i < side; ++i) {
                    const double u = double(i - inset) / span, v = double(j - inset) / span;
                    unsigned char* out = &atlas.picture.pixels[(size_t(y0 + j) * size_t(width) + size_t(x0 + i)) * 3];
                    for (size_t k = 0; k < 3; ++k)
                        out[k] = srgbByte(c[0][k] + (c[1][k] - c[0][k]) * u + (c[2][k] - c[0][k]) * v);
                }
        }
        const float s0 = float((x0 + inset + 0.5) / width), t0 = float((y0 + inset + 0.5) / height);
        const float s1 = float((x0 + inset + span + 0.5) / width), t1 = float((y0 + inset + span + 0.5) / height);
        if (plain[f]) {
            const float s = float((x0 + side / 2.0) / width), t = float((y0 + side / 2.0) / height);
            atlas.uvs[f] = {s, t, s, t, s, t};
        } else {
            atlas.uvs[f] = {s0, t0, s1, t0, s0, t1};
        }
    }
    return true;
}

} // namespace gltf_import

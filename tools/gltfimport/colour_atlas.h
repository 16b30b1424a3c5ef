// Vertex colours the player cannot draw: its materials carry a picture and no colour, and
// its faces no colour per corner, so a mesh's vertex colours are baked into an atlas that
// the faces' texture coordinates point into. A face whose corners share one colour takes
// a patch of that colour, shared by every such face; a face whose colours differ gets a
// patch of its own holding them blended across it as glTF blends them.
#pragma once

#include "wrap_bake.h"

#include <array>
#include <vector>

namespace gltf_import {

// Texels along each side of a patch: a power of two, so the player's mipmap levels keep
// patches apart, and with the face on the middle four of its eight it follows glTF's blend
// (linear in light, where the player blends the stored sRGB values) within a few levels but
// near black.
constexpr int ColourPatchSide = 8;

// The corner colours of one face, linear red, green and blue from 0 to 1.
using FaceColours = std::array<std::array<double, 3>, 3>;

// The atlas of a set of faces: an RGB picture whose sides are powers of two (the player
// would otherwise rescale it, blurring the patches into each other), and each face's s, t
// per corner into it (rows top first).
struct ColourAtlas {
    RawPicture picture;
    std::vector<std::array<float, 6>> uvs;
    int patches = 0;
};

// Bakes the faces' colours into an atlas; false, leaving it empty, when it would pass
// maxSide pixels a side or the memory cannot be had.
bool BakeColourAtlas(const std::vector<FaceColours>& faces, int maxSide, ColourAtlas& atlas);

} // namespace gltf_import

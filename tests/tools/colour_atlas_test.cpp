// The vertex colour atlas: its size for a number of faces, up to and past its limit (the
// size of a model of 100,000 coloured triangles among them), patches shared by faces of one
// colour, and texels and coordinates that give back glTF's corner colours.
#include "colour_atlas.h"
#include "srgb_reference.h"

#include <gtest/gtest.h>

#include <cmath>

using gltf_import::BakeColourAtlas;
using gltf_import::ColourAtlas;
using gltf_import::FaceColours;

namespace {

// Face f of a set whose colours differ across each face, all faces different.
FaceColours blended(size_t f)
{
    const double a = double(f % 997) / 996;
    return {{{a, 0, 0}, {0, 1 - a, 0}, {0, 0, 0.5}}};
}

FaceColours plain(double r, double g, double b)
{
    return {{{r, g, b}, {r, g, b}, {r, g, b}}};
}

uint8_t srgb(double linear)
{
    return uint8_t(std::lround(LinearToSrgb(linear) * 255));
}

} // namespace

TEST(ColourAtlas, SizesFollowTheFacesUpToTheLimit)
{
    const struct {
        const char* name;
        size_t blendedFaces, plainFaces; // plain faces cycle through three colours
        int maxSide;
        bool baked;
        int width, height, patches;
    } cases[] = {
        {"one blended face", 1, 0, 4096, true, 8, 8, 1},
        {"plain faces share a patch a colour", 0, 10, 4096, true, 16, 16, 3},
        {"both", 2, 3, 4096, true, 32, 16, 5},
        {"100,000 coloured triangles", 100000, 0, 4096, true, 4096, 2048, 100000},
        {"the limit, filled", 262144, 0, 4096, true, 4096, 4096, 262144},
        {"one face past the limit", 262145, 0, 4096, false, 0, 0, 0},
        {"past a small limit", 5, 0, 16, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FaceColours> faces;
        for (size_t f = 0; f < c.blendedFaces; ++f)
            faces.push_back(blended(f));
        for (size_t f = 0; f < c.plainFaces; ++f)
            faces.push_back(plain(f % 3 == 0, f % 3 == 1, f % 3 == 2));
        ColourAtlas atlas;
        ASSERT_EQ(BakeColourAtlas(faces, c.maxSide, atlas), c.baked);
        EXPECT_EQ(atlas.picture.width, c.width);
        EXPECT_EQ(atlas.picture.height, c.height);
        EXPECT_EQ(atlas.patches, c.patches);
        EXPECT_EQ(atlas.uvs.size(), c.baked ? faces.size() : 0u);
        if (c.baked) {
            EXPECT_EQ(atlas.picture.pixels.size(), size_t(c.width) * size_t(c.height) * 3);
        }
    }
}

// Each face's corners point at texels holding their own colours (as sRGB), and plain faces of
// one colour point at one texel of it.
TEST(ColourAtlas, CornersFindTheirColours)
{
    const std::vector<FaceColours> faces = {
        {{{1, 0, 0}, {0, 1, 0}, {0.2, 0.2, 1}}}, plain(0.5, 0.25, 0), {{{0, 0, 0}, {1, 1, 1}, {0.5, 0, 0.5}}},
        plain(0.5, 0.25, 0)};
    ColourAtlas atlas;
    ASSERT_TRUE(BakeColourAtlas(faces, 4096, atlas));
    auto texel = [&](float s, float t) {
        const int x = int(std::floor(s * atlas.picture.width)), y = int(std::floor(t * atlas.picture.height));
        const unsigned char* p = &atlas.picture.pixels[(size_t(y) * size_t(atlas.picture.width) + size_t(x)) * 3];
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    for (size_t f = 0; f < faces.size(); ++f)
        for (size_t corner = 0; corner < 3; ++corner) {
            SCOPED_TRACE(testing::Message() << "face " << f << " corner " << corner);
            const std::array<int, 3> got = texel(atlas.uvs[f][corner * 2], atlas.uvs[f][corner * 2 + 1]);
            for (size_t k = 0; k < 3; ++k)
                EXPECT_EQ(got[k], srgb(faces[f][corner][k]));
        }
    EXPECT_EQ(atlas.uvs[1], atlas.uvs[3]);
    EXPECT_EQ(atlas.patches, 3);
}

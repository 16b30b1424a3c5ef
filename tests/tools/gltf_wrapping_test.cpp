// Texture wrapping: a quad whose texture coordinates run outside [0, 1], its sampler clamping
// or mirroring, imported and drawn by the player, compared colour by colour with glTF's own
// sampling of the original picture (worked out here, not by the importer); and what the
// import writes for such samplers.
#include "canvas.h"
#include "gltf_files.h"
#include "gltf_import.h"
#include "image_files.h"
#include "player_capture.h"
#include "png_bytes.h"
#include "show_files.h"
#include "silhouette_reference.h"
#include "srgb_reference.h"
#include "wrap_bake.h"

#include "demo/part_timing.h"
#include "demo/script_parser.h"
#include "demo/show.h"
#include "image/png_decoder.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int Width = 320, Height = 180;
constexpr int Repeat = 10497, Clamp = 33071, Mirror = 33648;
constexpr int Side = 8; // the picture's side in pixels

// The picture's quarters, left to right and top to bottom: red, green, blue, white.
const std::array<std::array<uint8_t, 3>, 4> Quarters = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};

std::vector<uint8_t> quarteredRgb()
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            for (uint8_t c : Quarters[size_t((x >= Side / 2) + 2 * (y >= Side / 2))])
                rgb.push_back(c);
    return rgb;
}

// Every pixel its own: red across, green down.
std::vector<uint8_t> gradientRgb()
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            rgb.insert(rgb.end(), {uint8_t(255 - x * 16), uint8_t(y * 32), 7});
    return rgb;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string scratch(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("gltf-wrapping-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return (folder / name).string();
}

// The quarters picture as PNG or JPEG bytes.
std::string quarteredPicture(bool jpeg)
{
    if (!jpeg)
        return rgbPng(Side, Side, quarteredRgb().data());
    Canvas canvas(Side, Side);
    canvas.fill([](float x, float y) {
        const auto& c = Quarters[size_t((x >= Side / 2) + 2 * (y >= Side / 2))];
        return Colour{c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f};
    });
    const std::string path = scratch("quarters.jpg");
    std::string error;
    EXPECT_TRUE(writeJpeg(path, canvas, 100, error)) << error;
    return readAll(path);
}

// glTF's wrapping of a coordinate into [0, 1].
double wrapped(int wrap, double c)
{
    if (wrap == Clamp)
        return std::clamp(c, 0.0, 1.0);
    if (wrap == Mirror)
        return 1.0 - std::fabs(c - 2.0 * std::floor(c / 2.0) - 1.0);
    return c - std::floor(c);
}

// The half of a picture in two halves that glTF samples at coordinate c.
int halfAt(int wrap, double c)
{
    return wrapped(wrap, c) < 0.5 ? 0 : 1;
}

// A quad from (-1, -1) to (1, 1) facing +Z, its coordinates running from low at its left
// and top edges to high at its right and bottom ones, textured with picture (empty: none).
GltfText quad(double low, double high, const std::string& picture, bool jpeg, int wrapS, int wrapT,
              const std::string& factor = "")
{
    GltfText g;
    g.floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}, "VEC3");
    g.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    const float l = float(low), h = float(high);
    g.floats({l, h, h, h, h, l, l, l}, "VEC2");
    g.indices({0, 1, 2, 0, 2, 3});
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},\"indices\":3,"
                       "\"material\":0}]}");
    g.nodes.push_back("{\"name\":\"quad\",\"mesh\":0}");
    g.materials.push_back("{\"name\":\"card\",\"pbrMetallicRoughness\":{" + factor + "\"baseColorTexture\":{\"index\":0}}}");
    g.extra.push_back("\"images\":[{\"name\":\"quarters\",\"uri\":\"data:image/" + std::string(jpeg ? "jpeg" : "png") +
                      ";base64," + GltfText::base64(picture) + "\"}]");
    g.extra.push_back("\"samplers\":[{\"wrapS\":" + std::to_string(wrapS) + ",\"wrapT\":" + std::to_string(wrapT) + "}]");
    g.extra.push_back("\"textures\":[{\"source\":0,\"sampler\":0}]");
    return g;
}

// Where glTF shows each quarter's colour on the quad: cells between the coordinates where
// the sampled half changes, each coloured by sampling its middle, projected through look.
std::vector<reference::Mask> glTFColours(double low, double high, int wrapS, int wrapT, const CameraLook& look)
{
    std::vector<double> cuts = {low};
    for (double c = std::floor(low * 2) / 2 + 0.5; c < high; c += 0.5)
        cuts.push_back(c);
    cuts.push_back(high);
    const auto at = [&](double c) { return float(-1 + 2 * (c - low) / (high - low)); };
    std::vector<reference::Mask> masks(4);
    for (int colour = 0; colour < 4; ++colour) {
        GltfText g;
        std::vector<float> positions;
        std::vector<uint16_t> indices;
        for (size_t i = 0; i + 1 < cuts.size(); ++i)
            for (size_t j = 0; j + 1 < cuts.size(); ++j) {
                const int half = halfAt(wrapS, (cuts[i] + cuts[i + 1]) / 2) + 2 * halfAt(wrapT, (cuts[j] + cuts[j + 1]) / 2);
                if (half != colour)
                    continue;
                const float x0 = at(cuts[i]), x1 = at(cuts[i + 1]), y0 = -at(cuts[j]), y1 = -at(cuts[j + 1]);
                const auto first = uint16_t(positions.size() / 3);
                positions.insert(positions.end(), {x0, y1, 0, x1, y1, 0, x1, y0, 0, x0, y0, 0});
                indices.insert(indices.end(), {first, uint16_t(first + 1), uint16_t(first + 2), first,
                                               uint16_t(first + 2), uint16_t(first + 3)});
            }
        if (indices.empty()) {
            masks[size_t(colour)] = reference::Mask{Width, Height, std::vector<uint8_t>(size_t(Width * Height), 0)};
            continue;
        }
        g.floats(positions, "VEC3");
        g.indices(indices);
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
        g.nodes.push_back("{\"mesh\":0}");
        const std::string path = scratch("colour.gltf");
        std::ofstream(path, std::ios::binary) << g.text();
        reference::GltfModel model(path);
        EXPECT_TRUE(model.loaded()) << model.problem();
        masks[size_t(colour)] = reference::Project(model.triangles(0), look, Width, Height);
    }
    return masks;
}

// The quad imported with the importer and drawn by the player, glTF's colours beside the
// drawn ones; the agreement with glTF's sampler and with a sampler that repeats.
void drawnAgainstGltf(const GltfText& g, double low, double high, int wrapS, int wrapT, double& agreement,
                      double& repeating)
{
    const std::string model = scratch("quad.gltf");
    std::ofstream(model, std::ios::binary) << g.text();
    const std::string folder = scratch("show");
    fs::remove_all(folder);
    std::FILE* out = std::fopen(scratch("summary").c_str(), "w");
    const int status = runImport(model, folder, ImportOptions(), false, out, out);
    std::fclose(out);
    const std::string summary = readAll(scratch("summary"));
    ASSERT_EQ(status, 0) << summary;
    ASSERT_EQ(summary.find("scaled by"), std::string::npos) << summary;
    ASSERT_TRUE(CaptureFrames(folder, folder + "/frames", 0));
    const ShowPlan plan = ParseScript(readAll(folder + "/script.txt"));
    const std::string sceneBytes = readAll(folder + "/data/" + plan.parts[0].sceneName);
    Scene scene;
    scene.loadMemory(sceneBytes.data(), sceneBytes.size());
    SelectCamera(scene, plan.parts[0].cameraName);
    CameraLook look;
    ASSERT_TRUE(scene.camera && scene.camera->viewAt(0, look));
    const DecodedImage drawn = DecodePng(folder + "/frames/frame-000000.png");
    ASSERT_EQ(drawn.width, Width);
    agreement = reference::MaskAgreement(drawn.pixels, glTFColours(low, high, wrapS, wrapT, look), reference::PrimaryColourOf);
    repeating = reference::MaskAgreement(drawn.pixels, glTFColours(low, high, Repeat, Repeat, look), reference::PrimaryColourOf);
}

// Clamped and mirrored quads, from PNG and JPEG pictures, show the colours glTF samples
// where the player's repeating alone would show others.
TEST(GltfWrapping, ClampedAndMirroredQuadsShowGltfsColours)
{
    const struct {
        const char* name;
        int wrapS, wrapT;
        bool jpeg;
    } cases[] = {
        {"clamp", Clamp, Clamp, false},
        {"mirror", Mirror, Mirror, false},
        {"clamp s, mirror t, JPEG", Clamp, Mirror, true},
        {"mirror s, repeat t, JPEG", Mirror, Repeat, true},
    };
    const double low = -0.75, high = 1.75;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double agreement = 0, repeating = 0;
        drawnAgainstGltf(quad(low, high, quarteredPicture(c.jpeg), c.jpeg, c.wrapS, c.wrapT), low, high, c.wrapS, c.wrapT,
                         agreement, repeating);
        EXPECT_GE(agreement, 0.95);
        // The same quad repeated, as the player draws what is not baked, would be told apart.
        EXPECT_LE(repeating, 0.8);
        std::printf("%s: colours agree %.4f (a repeating picture: %.4f)\n", c.name, agreement, repeating);
    }
    fs::remove_all(fs::temp_directory_path() / ("gltf-wrapping-" + std::to_string(getpid())));
}

} // namespace

namespace {

struct BakeCase {
    const char* name;
    int wrapS, wrapT;
    double low, high; // the quad's coordinates
    bool jpeg;
    bool damaged; // the picture cut short
    int bakedWidth, bakedHeight;   // 0: no picture baked
    std::array<double, 4> written; // the range of s, then of t, written
    const char* warning;           // empty: none
    std::array<double, 4> factor = {1, 1, 1, 1}; // the base colour factor
};

// The smallest and largest s, then t, written at any corner.
std::array<double, 4> writtenRange(const ImportedShow& show)
{
    std::array<double, 4> range = {INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const NodeSpec& node : show.scene.nodes)
        for (const FaceSpec& face : node.faces)
            for (const CornerSpec& c : face.corners) {
                range[0] = std::min(range[0], double(c.s)), range[1] = std::max(range[1], double(c.s));
                range[2] = std::min(range[2], double(c.t)), range[3] = std::max(range[3], double(c.t));
            }
    return range;
}

// The source pixel glTF samples along an axis of size pixels for the written coordinate at
// the middle of baked pixel i of baked pixels, written from..to standing for low..high.
int sampledPixel(int wrap, int i, int baked, int size, double from, double to, double low, double high)
{
    const double written = (i + 0.5) / baked;
    const double c = low + (written - from) * (high - low) / (to - from);
    return std::min(size - 1, int(std::floor(wrapped(wrap, c) * size)));
}

} // namespace

// What the import writes for each sampler and base colour factor: the baked picture's size
// and pixels (the original's own, through none of the player's colour curves or channel
// orders, tinted as glTF multiplies), the coordinates moved into it, one picture for two
// materials that share it, nothing new for a white factor, and a warning naming the
// material where a clamp would widen the picture past four times or the picture is damaged.
TEST(GltfWrapping, TheBakedPictureHoldsTheOriginalsPixelsAndIsWrittenOnce)
{
    const BakeCase cases[] = {
        {"clamp", Clamp, Clamp, -0.75, 1.75, false, false, 20, 20, {0, 1, 0, 1}, ""},
        {"mirror", Mirror, Mirror, -0.75, 1.75, false, false, 16, 16, {-0.375, 0.875, -0.375, 0.875}, ""},
        {"mirror s only, JPEG", Mirror, Repeat, -0.5, 1.5, true, false, 16, 8, {-0.25, 0.75, -0.5, 1.5}, ""},
        {"clamp within the picture", Clamp, Clamp, 0.25, 0.75, false, false, 0, 0, {0.25, 0.75, 0.25, 0.75}, ""},
        {"clamp a rounding past the edge", Clamp, Clamp, -1e-8, 1 + 1e-7, false, false, 0, 0, {-1e-8, 1 + 1e-7, -1e-8, 1 + 1e-7}, ""},
        {"repeat", Repeat, Repeat, -0.75, 1.75, false, false, 0, 0, {-0.75, 1.75, -0.75, 1.75}, ""},
        {"clamp past four times", Clamp, Clamp, -3, 3, false, false, 0, 0, {-3, 3, -3, 3},
         "material \"card\": CLAMP_TO_EDGE along s over coordinates -3 to 3 would widen its picture past 4 times"},
        {"damaged picture", Mirror, Mirror, -0.75, 1.75, false, true, 0, 0, {-0.75, 1.75, -0.75, 1.75},
         "material \"card\": its picture q_quarters.png does not decode"},
        {"repeat, translucent white", Repeat, Repeat, -0.75, 1.75, false, false, 0, 0, {-0.75, 1.75, -0.75, 1.75},
         "material \"card\": translucent", {1, 1, 1, 0.5}},
        {"tint", Repeat, Repeat, -0.75, 1.75, false, false, 8, 8, {-0.75, 1.75, -0.75, 1.75}, "", {0.5, 0.25, 1, 1}},
        {"tint, JPEG", Repeat, Repeat, 0.25, 1.5, true, false, 8, 8, {0.25, 1.5, 0.25, 1.5}, "", {0.2, 0.2, 0.2, 1}},
        {"clamp and tint", Clamp, Clamp, -0.75, 1.75, false, false, 20, 20, {0, 1, 0, 1}, "", {0.5, 0.5, 0.5, 1}},
        {"clamp past four times, tinted", Clamp, Clamp, -3, 3, false, false, 8, 8, {-3, 3, -3, 3},
         "material \"card\": CLAMP_TO_EDGE along s over coordinates -3 to 3 would widen its picture past 4 times",
         {0, 1, 0, 1}},
        {"damaged picture, tinted", Repeat, Repeat, 0, 1, false, true, 0, 0, {0, 1, 0, 1},
         "material \"card\": its picture q_quarters.png does not decode or is larger than the player draws, so its "
         "base colour factor is not applied to the texture",
         {0.5, 0.5, 0.5, 1}},
    };
    for (const BakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The JPEG in quarters, which its coding keeps; the PNG with every pixel its own.
        std::string original = c.jpeg ? quarteredPicture(true) : rgbPng(Side, Side, gradientRgb().data());
        if (c.damaged)
            original.resize(40);
        char factor[128];
        std::snprintf(factor, sizeof factor, "\"baseColorFactor\":[%.9g,%.9g,%.9g,%.9g],", c.factor[0], c.factor[1],
                      c.factor[2], c.factor[3]);
        GltfText g = quad(c.low, c.high, original, c.jpeg, c.wrapS, c.wrapT, factor);
        // A second material of another name on the same picture, sampler and factor.
        g.materials.push_back("{\"name\":\"twin\",\"pbrMetallicRoughness\":{" + std::string(factor) +
                              "\"baseColorTexture\":{\"index\":0}}}");
        g.meshes[0].insert(g.meshes[0].size() - 2, ",{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":2},\"indices\":3,"
                                                   "\"material\":1}");
        const std::string text = g.text();
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "q.gltf",
                                     ImportOptions(), show, error))
            << error;
        ASSERT_EQ(show.scene.materials.size(), 2u);
        const std::string used = show.scene.materials[0].maps[SurfaceMapSlot].file;
        EXPECT_EQ(show.scene.materials[1].maps[SurfaceMapSlot].file, used);
        // The original is not written when no material draws it.
        ASSERT_EQ(show.textures.size(), 1u);
        EXPECT_EQ(used, show.textures[0].name);
        std::string warnings;
        for (const std::string& w : show.warnings)
            warnings += w + "\n";
        if (*c.warning)
            EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
        else
            EXPECT_EQ(warnings.find("material \"card\""), std::string::npos) << warnings;
        const std::array<double, 4> written = writtenRange(show);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(written[i], c.written[i], 1e-6) << i;
        if (!c.bakedWidth)
            continue;
        gltf_import::RawPicture source, baked;
        std::string problem;
        ASSERT_TRUE(gltf_import::DecodeRawPicture(original, 16384, source, problem)) << problem;
        ASSERT_TRUE(gltf_import::DecodeRawPicture(show.textures[0].bytes, 16384, baked, problem)) << problem;
        ASSERT_EQ(baked.width, c.bakedWidth);
        ASSERT_EQ(baked.height, c.bakedHeight);
        ASSERT_EQ(baked.channels, 3);
        // Red at the top left, as the file holds it.
        EXPECT_GT(source.pixels[0], 200);
        EXPECT_LT(source.pixels[2], 50);
        if (!c.jpeg) {
            const std::vector<uint8_t> rgb = gradientRgb();
            EXPECT_EQ(source.pixels, std::vector<unsigned char>(rgb.begin(), rgb.end()));
        }
        int wrong = 0;
        for (int y = 0; y < baked.height; ++y)
            for (int x = 0; x < baked.width; ++x) {
                const int sx = sampledPixel(c.wrapS, x, baked.width, Side, c.written[0], c.written[1], c.low, c.high);
                const int sy = sampledPixel(c.wrapT, y, baked.height, Side, c.written[2], c.written[3], c.low, c.high);
                const std::array<uint8_t, 3> wanted =
                    TintedTexel(&source.pixels[size_t(sy * Side + sx) * 3], {c.factor[0], c.factor[1], c.factor[2]});
                wrong += std::memcmp(&baked.pixels[size_t(y * baked.width + x) * 3], wanted.data(), 3) != 0;
            }
        EXPECT_EQ(wrong, 0);
    }
    fs::remove_all(fs::temp_directory_path() / ("gltf-wrapping-" + std::to_string(getpid())));
}

// One tinted picture for each picture and factor: materials sharing both share it, another
// factor gets a picture of its own, and a white one draws the original.
TEST(GltfWrapping, EachPictureAndFactorIsBakedOnce)
{
    GltfText g = quad(0, 1, rgbPng(Side, Side, gradientRgb().data()), false, Repeat, Repeat, "\"baseColorFactor\":[0.5,0.5,0.5,1],");
    const char* others[] = {"[0.5,0.5,0.5,1]", "[1,0,0,1]", "[1,1,1,1]"};
    for (int m = 0; m < 3; ++m) {
        g.materials.push_back("{\"name\":\"m" + std::to_string(m) + "\",\"pbrMetallicRoughness\":{\"baseColorFactor\":" +
                              others[m] + ",\"baseColorTexture\":{\"index\":0}}}");
        g.meshes[0].insert(g.meshes[0].size() - 2, ",{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":2},\"indices\":3,"
                                                   "\"material\":" + std::to_string(m + 1) + "}");
    }
    const std::string text = g.text();
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "q.gltf",
                                 ImportOptions(), show, error))
        << error;
    ASSERT_EQ(show.scene.materials.size(), 4u);
    auto file = [&](size_t m) { return show.scene.materials[m].maps[SurfaceMapSlot].file; };
    EXPECT_EQ(file(0), "q_quarters_tinted.png");
    EXPECT_EQ(file(1), file(0));
    EXPECT_EQ(file(2), "q_quarters_tinted_2.png");
    EXPECT_EQ(file(3), "q_quarters.png");
    ASSERT_EQ(show.textures.size(), 3u);
    for (const std::string& w : show.warnings)
        EXPECT_EQ(w.find("base colour factor"), std::string::npos) << w;
}

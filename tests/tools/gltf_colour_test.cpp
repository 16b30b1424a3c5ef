// A model's colours as glTF gives them, drawn by the player: texture transforms, base colour
// factors on textures, and surfaces just behind others hidden by the depth buffer. Each model
// is imported and captured; the frame is compared with glTF's colours worked out here, by hue
// and brightness where the player's lighting changes the shade.
#include "gltf_files.h"
#include "gltf_import.h"
#include "player_capture.h"
#include "png_bytes.h"
#include "show_files.h"
#include "silhouette_reference.h"
#include "srgb_reference.h"

#include "demo/script_parser.h"
#include "demo/show.h"
#include "image/png_decoder.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int Width = 320, Height = 180;
constexpr int Side = 8; // the quartered picture's side in pixels

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string scratch(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("gltf-colour-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return (folder / name).string();
}

// Red, green, blue and white quarters, left to right and top to bottom.
std::string quarteredPng()
{
    static const uint8_t quarters[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<uint8_t> rgb;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            rgb.insert(rgb.end(), quarters[(x >= Side / 2) + 2 * (y >= Side / 2)],
                       quarters[(x >= Side / 2) + 2 * (y >= Side / 2)] + 3);
    return rgbPng(Side, Side, rgb.data());
}

// A quad from (-1, -1) to (1, 1) facing +Z with the given attributes of its four corners
// (bottom left, bottom right, top right, top left) and material 0.
GltfText quad(const std::vector<std::pair<std::string, int>>& attributes)
{
    GltfText g;
    g.floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}, "VEC3");
    g.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    g.indices({0, 1, 2, 0, 2, 3});
    std::string list = "\"POSITION\":0,\"NORMAL\":1";
    for (const auto& a : attributes)
        list += ",\"" + a.first + "\":" + std::to_string(a.second);
    g.meshes.push_back("{\"name\":\"card\",\"primitives\":[{\"attributes\":{" + list + "},\"indices\":2,\"material\":0}]}");
    g.nodes.push_back("{\"name\":\"quad\",\"mesh\":0}");
    return g;
}

void addPicture(GltfText& g, const std::string& png)
{
    g.extra.push_back("\"images\":[{\"name\":\"picture\",\"uri\":\"data:image/png;base64," + GltfText::base64(png) + "\"}]");
    g.extra.push_back("\"textures\":[{\"source\":0}]");
}

// The player's frame of the imported model and the camera it was drawn through.
struct Drawn {
    DecodedImage frame;
    CameraLook look;
    std::string summary;
};

Drawn importAndDraw(const GltfText& g, const ImportOptions& options = ImportOptions())
{
    Drawn drawn;
    const std::string model = scratch("model.gltf");
    std::ofstream(model, std::ios::binary) << g.text();
    const std::string folder = scratch("show");
    fs::remove_all(folder);
    std::FILE* out = std::fopen(scratch("summary").c_str(), "w");
    const int status = runImport(model, folder, options, false, out, out);
    std::fclose(out);
    drawn.summary = readAll(scratch("summary"));
    EXPECT_EQ(status, 0) << drawn.summary;
    EXPECT_TRUE(CaptureFrames(folder, folder + "/frames", 0));
    const ShowPlan plan = ParseScript(readAll(folder + "/script.txt"));
    if (plan.parts.empty())
        return drawn;
    const std::string sceneBytes = readAll(folder + "/data/" + plan.parts[0].sceneName);
    Scene scene;
    scene.loadMemory(sceneBytes.data(), sceneBytes.size());
    SelectCamera(scene, plan.parts[0].cameraName);
    EXPECT_TRUE(scene.camera && scene.camera->viewAt(0, drawn.look));
    drawn.frame = DecodePng(folder + "/frames/frame-000000.png");
    EXPECT_EQ(drawn.frame.width, Width);
    return drawn;
}

// Where the quad's cells of each class lie in the frame: the quad cut into cells x cells,
// each given the class classOf(x, y) of its middle (-1: none), projected through look.
std::vector<reference::Mask> cellMasks(int classes, int cells, const std::function<int(double, double)>& classOf,
                                       const CameraLook& look)
{
    std::vector<reference::Mask> masks;
    for (int k = 0; k < classes; ++k) {
        std::vector<reference::Triangle> triangles;
        for (int i = 0; i < cells; ++i)
            for (int j = 0; j < cells; ++j) {
                const double x0 = -1 + 2.0 * i / cells, x1 = -1 + 2.0 * (i + 1) / cells;
                const double y0 = -1 + 2.0 * j / cells, y1 = -1 + 2.0 * (j + 1) / cells;
                if (classOf((x0 + x1) / 2, (y0 + y1) / 2) != k)
                    continue;
                // glTF's Y up is the player's Z up; its +Z faces the player's -Y.
                const reference::V3 a{x0, 0, y0}, b{x1, 0, y0}, c{x1, 0, y1}, d{x0, 0, y1};
                triangles.push_back({{a, b, c}, true});
                triangles.push_back({{a, c, d}, true});
            }
        masks.push_back(reference::Project(triangles, look, Width, Height));
    }
    return masks;
}

struct Transform {
    double offset[2], rotation, scale[2];
};

// The quarter glTF samples at (u, v) through the transform: the extension's matrices
// multiplied out, T * R * S, and the picture repeated.
int sampledQuarter(const Transform& t, double u, double v)
{
    using M3 = std::array<std::array<double, 3>, 3>;
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    const M3 translation{{{1, 0, t.offset[0]}, {0, 1, t.offset[1]}, {0, 0, 1}}};
    const M3 rotation{{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
    const M3 scale{{{t.scale[0], 0, 0}, {0, t.scale[1], 0}, {0, 0, 1}}};
    auto times = [](const M3& a, const M3& b) {
        M3 m{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k)
                    m[size_t(i)][size_t(j)] += a[size_t(i)][size_t(k)] * b[size_t(k)][size_t(j)];
        return m;
    };
    const M3 m = times(times(translation, rotation), scale);
    const double tu = m[0][0] * u + m[0][1] * v + m[0][2], tv = m[1][0] * u + m[1][1] * v + m[1][2];
    return (tu - std::floor(tu) >= 0.5) + 2 * (tv - std::floor(tv) >= 0.5);
}

} // namespace

// Quads with known offsets, rotations and scales show the quarters glTF samples through
// them, and not those of the opposite turn; texCoord picks the coordinate set, from the
// extension or from the texture's own reference.
TEST(GltfColour, TextureTransformsShowTheQuartersGltfSamples)
{
    const struct {
        const char* name;
        Transform transform;
        const char* texCoord; // the reference's texCoord member, or the extension's
        bool inExtension;
    } cases[] = {
        {"offset", {{0.25, 0.25}, 0, {1, 1}}, "", false},
        {"scale", {{0, 0}, 0, {2, 0.5}}, "", false},
        {"quarter turn", {{0, 0}, 1.5707963, {1, 1}}, "", false},
        {"a turn of 0.4 with offset and scale", {{0.5, 0.1}, 0.4, {1.5, 0.75}}, "", false},
        {"texCoord 1 in the extension", {{0, 0}, -0.6, {1, 1}}, "1", true},
        {"texCoord 1 on the reference", {{0, 0}, 0.6, {1, 1}}, "1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool second = *c.texCoord;
        // (u, v) runs left to right and top to bottom (accessor 3); where a second set is
        // used, it holds them and the first one a single point of the red quarter (accessor 4).
        using Attributes = std::vector<std::pair<std::string, int>>;
        GltfText g = quad(second ? Attributes{{"TEXCOORD_0", 4}, {"TEXCOORD_1", 3}} : Attributes{{"TEXCOORD_0", 3}});
        g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
        g.floats({0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f}, "VEC2");
        addPicture(g, quarteredPng());
        const Transform& t = c.transform;
        char transform[256];
        std::snprintf(transform, sizeof transform, "\"offset\":[%.9g,%.9g],\"rotation\":%.9g,\"scale\":[%.9g,%.9g]%s%s",
                      t.offset[0], t.offset[1], t.rotation, t.scale[0], t.scale[1], c.inExtension ? ",\"texCoord\":" : "",
                      c.inExtension ? c.texCoord : "");
        g.materials.push_back(std::string("{\"name\":\"card\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0") +
                              (second && !c.inExtension ? ",\"texCoord\":1" : "") +
                              ",\"extensions\":{\"KHR_texture_transform\":{" + transform + "}}}}}");
        const Drawn drawn = importAndDraw(g);
        ASSERT_FALSE(drawn.frame.empty());
        auto quarters = [&](const Transform& through) {
            return cellMasks(4, 96, [&](double x, double y) { return sampledQuarter(through, (x + 1) / 2, (1 - y) / 2); },
                             drawn.look);
        };
        const double agrees = reference::MaskAgreement(drawn.frame.pixels, quarters(t), reference::PrimaryColourOf);
        EXPECT_GE(agrees, 0.93);
        if (t.rotation != 0) {
            Transform opposite = t;
            opposite.rotation = -t.rotation;
            EXPECT_LE(reference::MaskAgreement(drawn.frame.pixels, quarters(opposite), reference::PrimaryColourOf), 0.75);
        }
        std::printf("%s: quarters agree %.4f\n", c.name, agrees);
    }
    fs::remove_all(fs::temp_directory_path() / ("gltf-colour-" + std::to_string(getpid())));
}

namespace {

std::string solidPicture(const std::array<uint8_t, 3>& rgb)
{
    std::vector<uint8_t> pixels;
    for (int i = 0; i < Side * Side; ++i)
        pixels.insert(pixels.end(), rgb.begin(), rgb.end());
    return rgbPng(Side, Side, pixels.data());
}

// Hue in degrees and brightness (the largest channel) of an average colour.
struct Shade {
    double hue = 0, brightness = 0, saturation = 0;
};

Shade shadeOf(double r, double g, double b)
{
    Shade s;
    const double top = std::max({r, g, b}), bottom = std::min({r, g, b});
    s.brightness = top;
    s.saturation = top > 0 ? (top - bottom) / top : 0;
    if (top == bottom)
        return s;
    const double d = top - bottom;
    s.hue = top == r ? 60 * std::fmod((g - b) / d + 6, 6) : top == g ? 60 * ((b - r) / d + 2) : 60 * ((r - g) / d + 4);
    return s;
}

// The average shade of the frame's pixels inside the quad.
Shade drawnShade(const Drawn& drawn)
{
    const reference::Mask quadMask = cellMasks(1, 4, [](double, double) { return 0; }, drawn.look)[0];
    double sum[3] = {0, 0, 0};
    size_t n = 0;
    for (size_t p = 0; p < size_t(Width * Height); ++p)
        if (quadMask.covered[p]) {
            for (size_t c = 0; c < 3; ++c)
                sum[c] += drawn.frame.pixels[p * 4 + c];
            ++n;
        }
    EXPECT_GT(n, 1000u);
    return shadeOf(sum[0] / double(n), sum[1] / double(n), sum[2] / double(n));
}

// The smallest angle between two hues.
double hueApart(double a, double b)
{
    const double d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

} // namespace

// A textured quad with a base colour factor is drawn in glTF's colour: the same hue and
// brightness as the same quad with a picture of that colour and no factor, lit alike.
TEST(GltfColour, ABaseColourFactorTintsItsTexture)
{
    const struct {
        const char* name;
        std::array<uint8_t, 3> texel;
        std::array<double, 3> factor;
    } cases[] = {
        {"grey tinted red", {128, 128, 128}, {1, 0.1, 0.1}},
        {"grey tinted green", {128, 128, 128}, {0.15, 1, 0.2}},
        {"white glass tinted blue", {255, 255, 255}, {0.2, 0.5, 1}},
        {"cloth darkened to 0.15", {200, 170, 120}, {0.15, 0.15, 0.15}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto drawQuad = [&](const std::string& picture, const std::array<double, 3>& factor) {
            GltfText g = quad({{"TEXCOORD_0", 3}});
            g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
            addPicture(g, picture);
            char material[256];
            std::snprintf(material, sizeof material,
                          "{\"name\":\"tint\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[%.9g,%.9g,%.9g,1],"
                          "\"baseColorTexture\":{\"index\":0}}}",
                          factor[0], factor[1], factor[2]);
            g.materials.push_back(material);
            const Drawn drawn = importAndDraw(g);
            EXPECT_EQ(drawn.summary.find("base colour factor not applied"), std::string::npos) << drawn.summary;
            return drawnShade(drawn);
        };
        const Shade got = drawQuad(solidPicture(c.texel), c.factor);
        const Shade wanted = drawQuad(solidPicture(TintedTexel(c.texel.data(), c.factor)), {1, 1, 1});
        if (wanted.saturation > 0.1) {
            EXPECT_LE(hueApart(got.hue, wanted.hue), 4) << got.hue << " " << wanted.hue;
            EXPECT_NEAR(got.saturation, wanted.saturation, 0.05);
        }
        EXPECT_NEAR(got.brightness / wanted.brightness, 1.0, 0.04) << got.brightness << " " << wanted.brightness;
        std::printf("%s: hue %.1f (glTF %.1f), brightness %.1f (glTF %.1f)\n", c.name, got.hue, wanted.hue,
                    got.brightness, wanted.brightness);
    }
    fs::remove_all(fs::temp_directory_path() / ("gltf-colour-" + std::to_string(getpid())));
}

namespace {

// An assembly in millimetres: a red shell 375 x 300 facing +Z and, gap behind it, a green
// part a little smaller, drawn first so that the shell hides it only where the depth
// buffer tells the two apart.
GltfText assembly(double gap)
{
    GltfText g;
    g.floats({-187.5f, -150, 0, 187.5f, -150, 0, 187.5f, 150, 0, -187.5f, 150, 0}, "VEC3");
    g.floats({-180, -140, 0, 180, -140, 0, 180, 140, 0, -180, 140, 0}, "VEC3");
    g.indices({0, 1, 2, 0, 2, 3});
    g.meshes.push_back("{\"name\":\"shell\",\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":2,\"material\":0}]}");
    g.meshes.push_back("{\"name\":\"part\",\"primitives\":[{\"attributes\":{\"POSITION\":1},\"indices\":2,\"material\":1}]}");
    g.nodes.push_back("{\"name\":\"part\",\"mesh\":1,\"translation\":[0,0," + std::to_string(-gap) + "]}");
    g.nodes.push_back("{\"name\":\"shell\",\"mesh\":0}");
    g.scenes = "[{\"nodes\":[0,1]}]";
    g.materials.push_back("{\"name\":\"red\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0,0,1]}}");
    g.materials.push_back("{\"name\":\"green\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0,1,0,1]}}");
    return g;
}

// The share of the drawn pixels that show the green part rather than the red shell.
double greenShare(const DecodedImage& frame)
{
    size_t green = 0, red = 0;
    for (size_t p = 0; p < size_t(Width * Height); ++p) {
        const uint8_t* rgba = &frame.pixels[p * 4];
        green += rgba[1] > 40 && rgba[1] > 2 * rgba[0];
        red += rgba[0] > 40 && rgba[0] > 2 * rgba[1];
    }
    return green + red ? double(green) / double(green + red) : 1.0;
}

// The share of points across the part at which a 16-bit depth buffer holds the same value
// for the part and for the shell in front of it, through the camera the player drew with,
// the model multiplied by scale.
double sharedDepths(const CameraLook& look, double scale, double gap)
{
    const double n = 0.1, f = 10000;
    const reference::V3 eye{look.eye.x, look.eye.y, look.eye.z};
    reference::V3 forward{look.centre.x - eye[0], look.centre.y - eye[1], look.centre.z - eye[2]};
    const double length = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
    for (double& c : forward)
        c /= length;
    auto stored = [&](const reference::V3& p) {
        const double z = (p[0] - eye[0]) * forward[0] + (p[1] - eye[1]) * forward[1] + (p[2] - eye[2]) * forward[2];
        return std::lround(f * (z - n) / (z * (f - n)) * 65535);
    };
    int same = 0, all = 0;
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j <= 20; ++j) {
            // A point of the part, in the player's axes (glTF's -Z is its +Y), and where the
            // ray to it from the eye crosses the shell's plane.
            const reference::V3 part{scale * (-180 + 18 * i), scale * gap, scale * (-140 + 14 * j)};
            const double t = (0 - eye[1]) / (part[1] - eye[1]);
            const reference::V3 shell{eye[0] + t * (part[0] - eye[0]), 0, eye[2] + t * (part[2] - eye[2])};
            same += stored(part) == stored(shell);
            ++all;
        }
    return double(same) / all;
}

} // namespace

// A part two thousandths of the assembly's size behind its shell stays hidden at the size the
// import fits: the frame shows the shell alone, and a 16-bit depth buffer holds different
// depths for the two everywhere. At the size kept with --scale 1 such a buffer cannot tell
// them apart (this machine's driver may give more bits, so that is worked out, not drawn).
TEST(GltfColour, APartJustBehindAShellStaysHiddenAtTheFittedSize)
{
    const double gap = 0.96;
    const GltfText g = assembly(gap);
    const Drawn fitted = importAndDraw(g);
    ASSERT_FALSE(fitted.frame.empty());
    const size_t at = fitted.summary.find("scaled by ");
    ASSERT_NE(at, std::string::npos) << fitted.summary;
    EXPECT_NE(fitted.summary.find("to resolve the model's depth"), std::string::npos) << fitted.summary;
    const double scale = std::strtod(fitted.summary.c_str() + at + 10, nullptr);
    EXPECT_LE(greenShare(fitted.frame), 0.001);
    EXPECT_EQ(sharedDepths(fitted.look, scale, gap), 0.0);
    ImportOptions kept;
    kept.scale = 1;
    const Drawn unscaled = importAndDraw(g, kept);
    EXPECT_EQ(unscaled.summary.find("scaled by"), std::string::npos) << unscaled.summary;
    EXPECT_GE(sharedDepths(unscaled.look, 1, gap), 0.9);
    std::printf("scaled by %g: the part shows on %.4f of the shell; depths shared %.3f fitted, %.3f at --scale 1\n",
                scale, greenShare(fitted.frame), sharedDepths(fitted.look, scale, gap), sharedDepths(unscaled.look, 1, gap));
    fs::remove_all(fs::temp_directory_path() / ("gltf-colour-" + std::to_string(getpid())));
}

namespace {

using Rgb = std::array<double, 3>;

// Adds an accessor of normalized unsigned bytes (5121) or shorts (5123) holding the given
// fractions, each element padded to four bytes; returns its index.
int normalizedAccessor(GltfText& g, const std::vector<double>& values, int componentType, int components)
{
    const size_t bytes = componentType == 5121 ? 1 : 2, stride = 4 * bytes;
    const size_t count = values.size() / size_t(components);
    while (g.bin_.size() % 4)
        g.bin_ += '\0';
    g.views_.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(g.bin_.size()) + ",\"byteLength\":" +
                       std::to_string(count * stride) + ",\"byteStride\":" + std::to_string(stride) + "}");
    for (size_t e = 0; e < count; ++e) {
        std::string element(stride, '\0');
        for (size_t c = 0; c < size_t(components); ++c) {
            const long v = std::lround(values[e * size_t(components) + c] * (bytes == 1 ? 255 : 65535));
            element[c * bytes] = char(v & 0xFF);
            if (bytes == 2)
                element[c * bytes + 1] = char(v >> 8);
        }
        g.bin_ += element;
    }
    g.accessors_.push_back("{\"bufferView\":" + std::to_string(g.views_.size() - 1) + ",\"componentType\":" +
                           std::to_string(componentType) + ",\"normalized\":true,\"count\":" + std::to_string(count) +
                           ",\"type\":\"VEC" + std::to_string(components) + "\"}");
    return int(g.accessors_.size()) - 1;
}

// glTF's colour across the quad at (u, v) (left to right, top to bottom): the corner
// colours (bottom left, bottom right, top right, top left) blended over the triangle the
// point lies in, times the factor, as sRGB bytes.
std::array<uint8_t, 3> blendedColour(const std::array<Rgb, 4>& corners, const Rgb& factor, double u, double v)
{
    const double x = -1 + 2 * u, y = 1 - 2 * v;
    const double p[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const int tri[2][3] = {{0, 1, 2}, {0, 2, 3}};
    const int* t = y <= x ? tri[0] : tri[1];
    const double* a = p[t[0]];
    const double* b = p[t[1]];
    const double* c = p[t[2]];
    const double area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
    const double wb = ((x - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (y - a[1])) / area;
    const double wc = ((b[0] - a[0]) * (y - a[1]) - (x - a[0]) * (b[1] - a[1])) / area;
    const double wa = 1 - wb - wc;
    std::array<uint8_t, 3> out{};
    for (size_t k = 0; k < 3; ++k) {
        const double linear = (wa * corners[size_t(t[0])][k] + wb * corners[size_t(t[1])][k] + wc * corners[size_t(t[2])][k]) *
                              factor[k];
        out[k] = uint8_t(std::lround(LinearToSrgb(std::clamp(linear, 0.0, 1.0)) * 255));
    }
    return out;
}

// How far apart two frames of the quad are over its pixels, on average: in hue (degrees,
// where the second has one) and in brightness (a share of the second's).
struct ShadeDifference {
    double hue = 0, brightness = 0;
};

ShadeDifference shadesApart(const Drawn& a, const Drawn& b)
{
    const reference::Mask quadMask = cellMasks(1, 4, [](double, double) { return 0; }, a.look)[0];
    double hue = 0, brightness = 0;
    size_t hued = 0, all = 0;
    for (size_t p = 0; p < size_t(Width * Height); ++p) {
        if (!quadMask.covered[p])
            continue;
        const uint8_t* x = &a.frame.pixels[p * 4];
        const uint8_t* y = &b.frame.pixels[p * 4];
        const Shade s = shadeOf(x[0], x[1], x[2]), t = shadeOf(y[0], y[1], y[2]);
        if (t.saturation >= 0.15) {
            hue += hueApart(s.hue, t.hue);
            ++hued;
        }
        brightness += std::fabs(s.brightness - t.brightness) / std::max(t.brightness, 32.0);
        ++all;
    }
    EXPECT_GT(all, 1000u);
    return {hued ? hue / double(hued) : 0.0, all ? brightness / double(all) : 1.0};
}

} // namespace

// A quad whose corners carry COLOR_0, as floats, unsigned bytes or shorts, with three
// components or four, is drawn in glTF's colours: its frame shows the hue and brightness
// of the same quad textured with glTF's blend of them painted by this test, lit alike.
TEST(GltfColour, VertexColoursOfEveryComponentTypeAreDrawn)
{
    const std::array<Rgb, 4> mixed = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}};
    const std::array<Rgb, 4> plain = {{{0.2, 0.6, 0.1}, {0.2, 0.6, 0.1}, {0.2, 0.6, 0.1}, {0.2, 0.6, 0.1}}};
    const struct {
        const char* name;
        int componentType;
        const char* type;
        std::array<Rgb, 4> corners;
        Rgb factor;
    } cases[] = {
        {"float RGB", 5126, "VEC3", mixed, {1, 1, 1}},
        {"float RGBA", 5126, "VEC4", mixed, {1, 1, 1}},
        {"unsigned byte RGBA, tinted", 5121, "VEC4", mixed, {1, 0.5, 0.5}},
        {"unsigned short RGB", 5123, "VEC3", mixed, {1, 1, 1}},
        {"one colour throughout, unsigned byte RGB", 5121, "VEC3", plain, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool alpha = c.type[3] == '4';
        std::vector<double> values;
        for (const Rgb& corner : c.corners) {
            values.insert(values.end(), corner.begin(), corner.end());
            if (alpha)
                values.push_back(1);
        }
        GltfText g = quad({{"COLOR_0", 3}});
        if (c.componentType == 5126)
            g.floats(std::vector<float>(values.begin(), values.end()), c.type);
        else
            normalizedAccessor(g, values, c.componentType, alpha ? 4 : 3);
        char material[160];
        std::snprintf(material, sizeof material, "{\"name\":\"paint\",\"pbrMetallicRoughness\":{\"baseColorFactor\":"
                      "[%.9g,%.9g,%.9g,1]}}", c.factor[0], c.factor[1], c.factor[2]);
        g.materials.push_back(material);
        const Drawn drawn = importAndDraw(g);
        ASSERT_FALSE(drawn.frame.empty());
        EXPECT_EQ(drawn.summary.find("vertex colours ignored"), std::string::npos) << drawn.summary;

        // The reference: glTF's blend painted into a picture the quad draws through its
        // texture coordinates, with no vertex colours and a white material.
        constexpr int side = 64;
        std::vector<uint8_t> painted;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::array<uint8_t, 3> rgb = blendedColour(c.corners, c.factor, (x + 0.5) / side, (y + 0.5) / side);
                painted.insert(painted.end(), rgb.begin(), rgb.end());
            }
        GltfText r = quad({{"TEXCOORD_0", 3}});
        r.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
        addPicture(r, rgbPng(side, side, painted.data()));
        r.materials.push_back("{\"name\":\"paint\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}");
        const Drawn wanted = importAndDraw(r);
        ASSERT_FALSE(wanted.frame.empty());
        // The player blends the atlas's stored sRGB values, glTF blends light: near black
        // the two part by a few levels.
        const ShadeDifference apart = shadesApart(drawn, wanted);
        EXPECT_LE(apart.hue, 8.0);
        EXPECT_LE(apart.brightness, 0.03);
        std::printf("%s: on average %.2f degrees of hue and %.2f %% of brightness apart\n", c.name, apart.hue,
                    apart.brightness * 100);
    }
    fs::remove_all(fs::temp_directory_path() / ("gltf-colour-" + std::to_string(getpid())));
}

// What an import of vertex colours writes and says: an atlas for an untextured material,
// nothing new for colours that are all white, and a warning naming the mesh where they are
// not drawn; colours that do not match the vertices fail the import.
TEST(GltfColour, VertexColoursAreBakedOrNamedWhereNot)
{
    const struct {
        const char* name;
        std::vector<float> colours; // four corners
        const char* type;
        bool textured;
        const char* said; // in the warnings and notes; empty: nothing of vertex colours
        bool atlas;
    } cases[] = {
        {"coloured", {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1}, "VEC3", false,
         "mesh \"card\": its vertex colours are baked into m_card_colours.png, 16 x 8 pixels (2 patches of 8 x 8)", true},
        {"white", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, "VEC3", false, "", false},
        {"on a texture", {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1}, "VEC3", true,
         "mesh \"card\": vertex colours ignored on material \"paint\", which has a texture", false},
        {"translucent", {1, 0, 0, 0.5f, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1}, "VEC4", false,
         "mesh \"card\": the alpha of its vertex colours is ignored, drawn opaque", true},
        {"too few", {1, 0, 0, 0, 1, 0}, "VEC3", false, "mesh \"card\": vertex colours do not match the primitive's vertices",
         false},
    };
    auto import = [](const GltfText& g, ImportedShow& show, std::string& error) {
        const std::string text = g.text();
        return importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "m.gltf",
                                ImportOptions(), show, error);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GltfText g = quad({{"TEXCOORD_0", 3}, {"COLOR_0", 4}});
        g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
        g.floats(c.colours, c.type);
        std::string texture;
        if (c.textured) {
            addPicture(g, quarteredPng());
            texture = ",\"baseColorTexture\":{\"index\":0}";
        }
        g.materials.push_back("{\"name\":\"paint\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.5,1,1,1]" + texture +
                              "}}");
        ImportedShow show;
        std::string error;
        const bool imported = import(g, show, error);
        std::string said = error + "\n";
        for (const std::string& line : show.warnings)
            said += line + "\n";
        for (const std::string& line : show.notes)
            said += line + "\n";
        if (*c.said)
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
        else
            EXPECT_EQ(said.find("vertex colours"), std::string::npos) << said;
        if (!imported)
            continue;
        const NodeSpec* mesh = nullptr;
        for (const NodeSpec& node : show.scene.nodes)
            if (node.type == NodeType::Mesh)
                mesh = &node;
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->groups.size(), 1u);
        const MaterialSpec& drawnWith = show.scene.materials[size_t(mesh->groups[0].material)];
        EXPECT_EQ(drawnWith.maps[SurfaceMapSlot].file == "m_card_colours.png", c.atlas)
            << drawnWith.maps[SurfaceMapSlot].file;
        // The material the atlas stands in for draws nothing, so its colour is not written.
        if (c.atlas) {
            ASSERT_EQ(show.textures.size(), 1u);
            EXPECT_EQ(show.textures[0].name, "m_card_colours.png");
        }
        if (!*c.said) {
            // Colours that change nothing write the same scene as no colours at all.
            GltfText plainQuad = quad({{"TEXCOORD_0", 3}});
            plainQuad.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
            plainQuad.materials = g.materials;
            ImportedShow without;
            ASSERT_TRUE(import(plainQuad, without, error)) << error;
            EXPECT_EQ(writeScene(show.scene), writeScene(without.scene));
        }
    }
}

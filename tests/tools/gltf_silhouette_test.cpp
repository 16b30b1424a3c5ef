// Imported models as their makers see them: every frame the player captures of an imported
// model is compared with an independent silhouette of the original glTF file (our own
// evaluation and projection, silhouette_reference.h), seen through the camera the player
// really used, by intersection over union.
#include "canvas.h"
#include "gltf_files.h"
#include "image_files.h"
#include "player_capture.h"
#include "png_bytes.h"
#include "show_files.h"
#include "silhouette_reference.h"

#include "demo/part_timing.h"
#include "demo/script_parser.h"
#include "demo/show.h"
#include "image/png_decoder.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int Width = 320, Height = 180;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every picture of the folder's data made white, so that whatever the player draws of the
// model shows against the black background.
void whiten(const std::string& folder)
{
    Canvas white(8, 8);
    white.fill([](float, float) { return Colour{1, 1, 1}; });
    std::string error;
    for (const fs::directory_entry& file : fs::directory_iterator(folder + "/data")) {
        const std::string extension = file.path().extension().string();
        if (extension == ".png") {
            std::ofstream(file.path(), std::ios::binary) << solidPng(255, 255, 255);
        } else if (extension == ".jpg") {
            ASSERT_TRUE(writeJpeg(file.path().string(), white, 95, error)) << error;
        }
    }
}

// The smallest agreement over the frames compared, and where it was.
struct Agreement {
    double smallest = 1.0;
    int frame = 0;
    int frames = 0;
    std::string summary; // what the import printed
};

// Imports the model into a fresh folder with options, captures the first part's frames
// (frame 0 alone for a still model) and compares each with the reference silhouette, the
// model multiplied by the scale the import reports; with orthographicNode, as that camera
// node of the model sees it orthographically (halfHeight its ymag). Fails the test when the
// import or the capture fails.
Agreement compareWithReference(const std::string& modelPath, const ImportOptions& options, int orthographicNode = -1,
                               double halfHeight = 0)
{
    Agreement result;
    reference::GltfModel model(modelPath);
    EXPECT_TRUE(model.loaded()) << model.problem();
    const std::string folder = (fs::temp_directory_path() / ("gltf-silhouette-" + std::to_string(getpid()))).string();
    fs::remove_all(folder);
    const std::string summaryPath = folder + ".summary";
    // The scale the import reports is the one the player's frames are drawn at.
    const auto scaleOf = [](const std::string& summary) {
        const size_t at = summary.find("scaled by ");
        return at == std::string::npos ? 1.0 : std::strtod(summary.c_str() + at + 10, nullptr);
    };
    std::FILE* out = std::fopen(summaryPath.c_str(), "w");
    const int status = runImport(modelPath, folder, options, false, out, out);
    std::fclose(out);
    result.summary = readAll(summaryPath);
    fs::remove(summaryPath);
    EXPECT_EQ(status, 0) << result.summary;
    if (status != 0 || !model.loaded())
        return result;
    const double scale = scaleOf(result.summary);
    whiten(folder);
    const ShowPlan plan = ParseScript(readAll(folder + "/script.txt"));
    const int firstEnd = plan.parts.size() > 0 ? plan.parts[0].endTime : 0;
    const int toMs = firstEnd >= 10000 ? 0 : firstEnd; // a still model is shown for ten seconds
    EXPECT_TRUE(CaptureFrames(folder, folder + "/frames", toMs)) << modelPath;

    const std::string sceneBytes = readAll(folder + "/data/" + plan.parts[0].sceneName);
    Scene scene;
    scene.loadMemory(sceneBytes.data(), sceneBytes.size());
    for (int frame = 0; frame * 1000 / 30 <= toMs; ++frame) {
        const int ms = frame * 1000 / 30;
        const ShowPosition at = PositionAt(plan.parts, ms);
        SelectCamera(scene, plan.parts[at.part].cameraName);
        CameraLook look;
        EXPECT_TRUE(scene.camera && scene.camera->viewAt(at.partTime, look)) << "frame " << frame;
        char name[64];
        std::snprintf(name, sizeof name, "/frames/frame-%06d.png", frame);
        const DecodedImage picture = DecodePng(folder + name);
        EXPECT_EQ(picture.width, Width) << name;
        const reference::Mask drawn = reference::Drawn(picture.pixels, picture.width, picture.height);
        const double time = at.partTime / options.fps;
        const reference::Mask wanted =
            orthographicNode >= 0
                ? reference::ProjectOrthographic(model.triangles(time, scale), model.cameraPose(orthographicNode, time, scale),
                                                 halfHeight * scale, Width, Height)
                : reference::Project(model.triangles(time, scale), look, Width, Height);
        EXPECT_GT(wanted.count(), 0u) << "the reference sees nothing at frame " << frame;
        const double agreement = reference::IntersectionOverUnion(drawn, wanted);
        if (agreement < result.smallest)
            result.smallest = agreement, result.frame = frame;
        ++result.frames;
    }
    fs::remove_all(folder);
    return result;
}

// Every shared sample model, as it imports with the importer's defaults.
TEST(GltfSilhouette, EverySharedSampleModelAgreesAtEveryFrame)
{
    std::vector<fs::path> models;
    for (const fs::directory_entry& file : fs::directory_iterator(TALDREX_SHARED_TESTDATA "/gltf"))
        if (file.path().extension() == ".gltf" || file.path().extension() == ".glb")
            models.push_back(file.path());
    std::sort(models.begin(), models.end());
    ASSERT_FALSE(models.empty());
    for (const fs::path& path : models) {
        SCOPED_TRACE(path.filename().string());
        const Agreement a = compareWithReference(path.string(), ImportOptions());
        std::printf("%s: smallest agreement %.4f over %d frames (frame %d)\n", path.filename().c_str(), a.smallest,
                    a.frames, a.frame);
        EXPECT_GE(a.smallest, 0.98) << "at frame " << a.frame;
        EXPECT_GT(a.frames, 0);
    }
}

// The model written to a file of the given name in a fresh temporary folder.
std::string writeModel(const GltfText& g, const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("gltf-silhouette-models-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream((folder / name).string(), std::ios::binary) << g.text();
    return (folder / name).string();
}

// A half: a quad right of the middle, facing the viewer (+Z), with its normals, as mesh 0.
GltfText halfModel()
{
    GltfText g;
    g.floats({0.2f, -0.5f, 0, 1, -0.5f, 0, 1, 0.5f, 0, 0.2f, 0.5f, 0}, "VEC3");
    g.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    g.indices({0, 1, 2, 0, 2, 3});
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1},\"indices\":2}]}");
    g.nodes.push_back("{\"name\":\"right\",\"mesh\":0}");
    g.scenes = "[{\"nodes\":[0,1]}]";
    return g;
}

// The left half made from the right one by a mirroring node, in each way glTF offers, and
// by mirroring twice (a turn, which mirrors nothing).
TEST(GltfSilhouette, MirroredHalvesShowTheFacesGltfShows)
{
    const struct {
        const char* name;
        std::vector<std::string> nodes; // node 1 on
        bool turned;
    } cases[] = {
        {"scale", {"{\"name\":\"left\",\"mesh\":0,\"scale\":[-1,1,1]}"}, true},
        {"matrix", {"{\"name\":\"left\",\"mesh\":0,\"matrix\":[-1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]}"}, true},
        {"parent", {"{\"name\":\"mirror\",\"scale\":[1,1,-1],\"rotation\":[0,1,0,0],\"children\":[2]}",
                    "{\"name\":\"left\",\"mesh\":0}"}, true},
        {"twice", {"{\"name\":\"left\",\"mesh\":0,\"scale\":[-1,-1,1]}"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GltfText g = halfModel();
        g.nodes.insert(g.nodes.end(), c.nodes.begin(), c.nodes.end());
        const Agreement a = compareWithReference(writeModel(g, std::string(c.name) + ".gltf"), ImportOptions());
        EXPECT_GE(a.smallest, 0.98);
        EXPECT_EQ(a.summary.find("1 mesh is mirrored by its node's matrix") != std::string::npos, c.turned) << a.summary;
    }
}

// A card seen from behind, double-sided, opaque and translucent, and single-sided (glTF
// culls its back): the player shows what glTF shows, and with --single-sided culls it.
TEST(GltfSilhouette, ADoubleSidedCardSeenFromBehindIsDrawn)
{
    const struct {
        const char* name;
        const char* material;
        bool singleSided;
        bool agrees;
    } cases[] = {
        {"double-sided", "{\"doubleSided\":true}", false, true},
        {"translucent", "{\"doubleSided\":true,\"alphaMode\":\"BLEND\"}", false, true},
        {"single-sided", "{}", false, true},
        {"double-sided, --single-sided", "{\"doubleSided\":true}", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GltfText g = halfModel();
        g.nodes[0] = "{\"name\":\"card\",\"mesh\":0,\"rotation\":[0,1,0,0]}";
        // A card facing the viewer beside it, so that every case has something to see.
        g.nodes.push_back("{\"name\":\"front\",\"mesh\":0}");
        g.materials.push_back(c.material);
        g.meshes[0].insert(g.meshes[0].find("\"indices\""), "\"material\":0,");
        ImportOptions options;
        options.singleSided = c.singleSided;
        const Agreement a = compareWithReference(writeModel(g, "card.gltf"), options);
        EXPECT_EQ(a.smallest >= 0.98, c.agrees) << a.smallest;
    }
}

// Models 2 cm and 500 km across, which the player's fixed depth range (0.1 to 10000) used to
// cut off entirely, come out scaled into it (the large one further, for its depth to be
// resolved); --scale 1 keeps the size, and the picture then shows nothing.
TEST(GltfSilhouette, TinyAndHugeModelsAreScaledIntoThePlayersDepthRange)
{
    const struct {
        const char* name;
        float size;
        double scale; // given with --scale; 0: fitted
        const char* scaled;
        bool agrees;
    } cases[] = {
        {"2 cm", 0.02f, 0, "scaled by 100 ", true},
        {"500 km", 5e5f, 0, "scaled by 0.000005 ", true},
        {"2 cm, --scale 1", 0.02f, 1, nullptr, false},
        {"2 cm, --scale 50", 0.02f, 50, "scaled by 50 ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GltfText g;
        const float s = c.size;
        g.floats({-0.5f * s, -0.4f * s, 0, 0.5f * s, -0.4f * s, 0, 0.5f * s, 0.4f * s, 0, -0.5f * s, 0.4f * s, 0}, "VEC3");
        g.indices({0, 1, 2, 0, 2, 3});
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
        g.nodes.push_back("{\"name\":\"card\",\"mesh\":0}");
        ImportOptions options;
        options.scale = c.scale;
        const Agreement a = compareWithReference(writeModel(g, "sized.gltf"), options);
        EXPECT_EQ(a.smallest >= 0.98, c.agrees) << a.smallest;
        EXPECT_EQ(a.summary.find("scaled by") != std::string::npos, c.scaled != nullptr) << a.summary;
        if (c.scaled) {
            EXPECT_NE(a.summary.find(c.scaled), std::string::npos) << a.summary;
        }
    }
}

// An orthographic camera looking at a box from the side, still and moving: the
// perspective camera that stands for it draws the orthographic picture. Before, the camera
// was skipped and the part looked through the added camera instead.
TEST(GltfSilhouette, AnOrthographicCameraIsDrawnAsItsPicture)
{
    for (const bool moving : {false, true}) {
        SCOPED_TRACE(moving ? "moving" : "still");
        GltfText g;
        std::vector<float> corners;
        for (int i = 0; i < 8; ++i)
            corners.insert(corners.end(), {i & 1 ? 0.6f : -0.6f, i & 2 ? 0.4f : -0.4f, i & 4 ? 0.5f : -0.5f});
        g.floats(corners, "VEC3");
        g.indices({0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4, 2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5});
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
        g.nodes.push_back("{\"name\":\"box\",\"mesh\":0,\"rotation\":[0.2,0.3,0,0.93]}");
        g.nodes.push_back("{\"name\":\"plan\",\"camera\":0,\"translation\":[4,0.1,0],"
                          "\"rotation\":[0,0.70710678,0,0.70710678]}");
        g.scenes = "[{\"nodes\":[0,1]}]";
        g.extra.push_back("\"cameras\":[{\"type\":\"orthographic\",\"orthographic\":{\"xmag\":1.3,\"ymag\":1,"
                          "\"znear\":0.1,\"zfar\":100}}]");
        if (moving) {
            const int times = g.floats({0, 1}, "SCALAR");
            const int places = g.floats({4, 0.1f, 0, 2, -0.1f, 0.2f}, "VEC3");
            g.animations.push_back("{\"samplers\":[{\"input\":" + std::to_string(times) + ",\"output\":" +
                                   std::to_string(places) + "}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":1,"
                                   "\"path\":\"translation\"}}]}");
        }
        const Agreement a = compareWithReference(writeModel(g, "plan.gltf"), ImportOptions(), 1, 1.0);
        EXPECT_GE(a.smallest, 0.98) << "at frame " << a.frame;
        EXPECT_NE(a.summary.find("camera \"plan\": orthographic, drawn by a perspective camera"), std::string::npos)
            << a.summary;
    }
}

// A forest of 125 trees (5 x 5 x 5 instances of one mesh, each placed, turned and sized
// its own way, one of them mirrored) comes out as 125 trees, not one.
TEST(GltfSilhouette, InstancesAreDrawnEachInItsPlace)
{
    GltfText g;
    g.floats({0, 0, 0, 0.4f, 0, 0, 0.2f, 0.8f, 0, 0.2f, 0.3f, 0.3f}, "VEC3");
    g.indices({0, 1, 2, 1, 3, 2, 0, 2, 3, 0, 3, 1});
    std::vector<float> places, turns, sizes;
    for (int i = 0; i < 125; ++i) {
        places.insert(places.end(), {float(i % 5) - 2, float(i / 5 % 5) - 2, -float(i / 25) * 1.5f});
        const float angle = 0.05f * float(i);
        turns.insert(turns.end(), {0, std::sin(angle), 0, std::cos(angle)});
        sizes.insert(sizes.end(), {i == 7 ? -1.0f : 1.0f, 0.6f + 0.01f * float(i % 7), 1});
    }
    const int t = g.floats(places, "VEC3"), r = g.floats(turns, "VEC4"), s = g.floats(sizes, "VEC3");
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
    g.nodes.push_back("{\"name\":\"forest\",\"mesh\":0,\"translation\":[0,-0.5,0],\"extensions\":{"
                      "\"EXT_mesh_gpu_instancing\":{\"attributes\":{\"TRANSLATION\":" + std::to_string(t) +
                      ",\"ROTATION\":" + std::to_string(r) + ",\"SCALE\":" + std::to_string(s) + "}}}}");
    g.extra.push_back("\"extensionsUsed\":[\"EXT_mesh_gpu_instancing\"]");
    const Agreement a = compareWithReference(writeModel(g, "forest.gltf"), ImportOptions());
    EXPECT_GE(a.smallest, 0.98);
    EXPECT_NE(a.summary.find("note: 125 instances (EXT_mesh_gpu_instancing) are written as a node each, adding"),
              std::string::npos) << a.summary;
}

} // namespace

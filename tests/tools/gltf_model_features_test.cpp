// What the importer writes and says for models that leave the player's assumptions:
// mirrored nodes, double-sided materials, sizes beyond the depth range, orthographic
// cameras. Their pictures are judged in gltf_silhouette_test.cpp.
#include "gltf_files.h"
#include "gltf_import.h"
#include "show_files.h"

#include "common/data_file.h"
#include "demo/check.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

bool importText(const GltfText& g, ImportedShow& show, const ImportOptions& options = ImportOptions())
{
    const std::string text = g.text();
    std::string error;
    const bool ok = importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "m.gltf",
                                     options, show, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

const NodeSpec* findNode(const std::vector<NodeSpec>& nodes, const std::string& name)
{
    for (const NodeSpec& n : nodes) {
        if (n.name == name)
            return &n;
        if (const NodeSpec* found = findNode(n.children, name))
            return found;
    }
    return nullptr;
}

// A node mirrored by STEP scale keys at 0.5 s and 1 s is warned of with those frames, and
// its faces are written turned for frame 0 (mirrored there); its unmirrored twin keeps
// the model's winding.
TEST(GltfModelFeatures, AMirroringThatChangesDuringTheAnimationIsWarnedOfWithItsFrames)
{
    GltfText g = triangleModel();
    g.nodes.push_back("{\"name\":\"flip\",\"mesh\":0,\"scale\":[-1,1,1]}");
    g.scenes = "[{\"nodes\":[0,1]}]";
    const int times = g.floats({0, 0.5f, 1}, "SCALAR");
    const int scales = g.floats({-1, 1, 1, 1, 1, 1, -1, 1, 1}, "VEC3");
    g.animations.push_back("{\"samplers\":[{\"input\":" + std::to_string(times) + ",\"output\":" + std::to_string(scales) +
                           ",\"interpolation\":\"STEP\"}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"scale\"}}]}");
    ImportedShow show;
    ASSERT_TRUE(importText(g, show));
    ASSERT_EQ(show.warnings.size(), 1u);
    EXPECT_NE(show.warnings[0].find("node \"flip\""), std::string::npos) << show.warnings[0];
    EXPECT_NE(show.warnings[0].find("at frames 15, 30;"), std::string::npos) << show.warnings[0];
    const NodeSpec* plain = findNode(show.scene.nodes, "tri");
    const NodeSpec* flipped = findNode(show.scene.nodes, "flip");
    ASSERT_TRUE(plain && flipped);
    EXPECT_EQ(plain->faces[0].corners[1].vertex, 1);
    EXPECT_EQ(flipped->faces[0].corners[1].vertex, 2);
    EXPECT_EQ(flipped->faces[0].corners[2].vertex, 1);
}

// A file taldrex-scene export wrote holds a mirrored mesh's faces as the player drew them:
// they come back unturned, so a scene's round trip draws what it drew.
TEST(GltfModelFeatures, AMirroredMeshFromTheExporterKeepsItsWinding)
{
    GltfText g = triangleModel();
    g.nodes[0] = "{\"name\":\"tri\",\"mesh\":0,\"scale\":[1,-1,1]}";
    for (const bool exported : {false, true}) {
        std::string text = g.text();
        if (exported)
            text.replace(text.find("\"version\""), 0, "\"generator\":\"taldrex-scene export\",");
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "m.gltf", {},
                                     show, error)) << error;
        const NodeSpec* tri = findNode(show.scene.nodes, "tri");
        ASSERT_NE(tri, nullptr);
        EXPECT_EQ(tri->faces[0].corners[1].vertex, exported ? 1 : 2) << (exported ? "exported" : "made elsewhere");
    }
}

// The back faces of a double-sided material: added turned round on copies of their
// vertices (morph keys included) only where the player would cull them, and noted.
TEST(GltfModelFeatures, DoubleSidedFacesAreAddedTurnedRoundOnVerticesOfTheirOwn)
{
    const struct {
        const char* material;
        bool singleSided;
        bool added;
    } cases[] = {
        {"{\"doubleSided\":true}", false, true},
        {"{\"doubleSided\":true}", true, false},
        {"{\"doubleSided\":true,\"alphaMode\":\"BLEND\"}", false, false},
        {"{\"doubleSided\":true,\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,1,1,0.5]}}", false, false},
        {"{}", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.material) + (c.singleSided ? " --single-sided" : ""));
        GltfText g = triangleModel();
        const int offsets = g.floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
        g.meshes[0] = "{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1,\"material\":0,"
                      "\"targets\":[{\"POSITION\":" + std::to_string(offsets) + "}]}],\"weights\":[0]}";
        const int times = g.floats({0, 1}, "SCALAR");
        const int weights = g.floats({0, 1}, "SCALAR");
        g.animations.push_back("{\"samplers\":[{\"input\":" + std::to_string(times) + ",\"output\":" +
                               std::to_string(weights) + "}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,"
                               "\"path\":\"weights\"}}]}");
        g.materials.push_back(c.material);
        ImportOptions options;
        options.singleSided = c.singleSided;
        ImportedShow show;
        ASSERT_TRUE(importText(g, show, options));
        const NodeSpec* tri = findNode(show.scene.nodes, "tri");
        ASSERT_NE(tri, nullptr);
        ASSERT_EQ(tri->groups.size(), 1u);
        ASSERT_EQ(tri->groups[0].faces.size(), c.added ? 2u : 1u);
        ASSERT_EQ(tri->vertices.size(), c.added ? 6u : 3u);
        EXPECT_FALSE(tri->morph.keys.empty());
        for (const MorphKeySpec& key : tri->morph.keys)
            EXPECT_EQ(key.positions.size(), tri->vertices.size());
        bool noted = false;
        for (const std::string& note : show.notes)
            noted = noted || note.find("1 face of a double-sided material is also written") == 0;
        EXPECT_EQ(noted, c.added);
        if (!c.added)
            continue;
        const FaceSpec& front = tri->faces[0];
        const FaceSpec& back = tri->faces[size_t(tri->groups[0].faces[1])];
        EXPECT_EQ(back.corners[0].vertex, 3);
        EXPECT_EQ(back.corners[1].vertex, 4);
        EXPECT_EQ(back.corners[2].vertex, 5);
        for (int corner = 0; corner < 3; ++corner) {
            const int mirrored = corner == 0 ? 0 : 3 - corner;
            EXPECT_EQ(tri->vertices[size_t(back.corners[corner].vertex)],
                      tri->vertices[size_t(front.corners[mirrored].vertex)]);
            EXPECT_EQ(back.corners[corner].s, front.corners[mirrored].s);
        }
    }
}

// The whole scene is scaled alike: vertices and the added camera by the factor, so the
// picture stays the same.
TEST(GltfModelFeatures, AScaledModelMovesItsVerticesAndCameraAlike)
{
    GltfText g = triangleModel();
    const float corners[9] = {0, 0, 0, 0.01f, 0, 0, 0, 0.01f, 0};
    g.bin_.replace(0, 36, reinterpret_cast<const char*>(corners), 36);
    ImportedShow plain, scaled;
    ImportOptions keep;
    keep.scale = 1;
    ASSERT_TRUE(importText(g, plain, keep));
    ASSERT_TRUE(importText(g, scaled));
    const NodeSpec* before = findNode(plain.scene.nodes, "tri");
    const NodeSpec* after = findNode(scaled.scene.nodes, "tri");
    ASSERT_TRUE(before && after);
    EXPECT_FLOAT_EQ(after->vertices[1].x, before->vertices[1].x * 100);
    for (size_t n = 0; n < 2; ++n) // the camera and its target
        EXPECT_NEAR(scaled.scene.nodes[n].position.keys[0].value.y, plain.scene.nodes[n].position.keys[0].value.y * 100,
                    1e-3);
    EXPECT_EQ(scaled.notes.back().rfind("scaled by 100 to fit", 0), 0u) << scaled.notes.back();
}

// A camera of the model that sees one card 1 cm away and another 200 km away: no power of
// ten puts both inside the player's range, and the camera is named with the frame.
TEST(GltfModelFeatures, ACameraWhoseRangeThePlayersCannotMeetIsWarnedOf)
{
    GltfText g = triangleModel();
    g.nodes[0] = "{\"name\":\"near\",\"mesh\":0,\"translation\":[0,0,-0.01]}";
    g.nodes.push_back("{\"name\":\"far\",\"mesh\":0,\"translation\":[0,0,-200000],\"scale\":[1e4,1e4,1]}");
    g.nodes.push_back("{\"name\":\"eye\",\"camera\":0}");
    g.scenes = "[{\"nodes\":[0,1,2]}]";
    g.extra.push_back("\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":1.5,\"znear\":0.001}}]");
    ImportedShow show;
    ASSERT_TRUE(importText(g, show));
    std::string all;
    for (const std::string& w : show.warnings)
        all += w + "\n";
    EXPECT_NE(all.find("camera \"eye\": sees the model nearer than the player's near plane (0.1) or farther than "
                       "its far plane (10000) at frame 0,"), std::string::npos) << all;
    for (const std::string& note : show.notes)
        EXPECT_EQ(note.find("scaled by"), std::string::npos) << note;
}

// --check names the part whose camera sees nothing of a 2 cm model imported at its own size
// (all of it nearer than the near plane), and finds nothing wrong once it is scaled.
TEST(GltfModelFeatures, CheckNamesThePartWhoseCameraSeesNothingOfATinyModel)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("gltf-tiny-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    GltfText g = triangleModel();
    const float corners[9] = {0, 0, 0, 0.02f, 0, 0, 0, 0.02f, 0};
    g.bin_.replace(0, 36, reinterpret_cast<const char*>(corners), 36);
    std::ofstream((dir / "tiny.gltf").string(), std::ios::binary) << g.text();
    for (const double scale : {1.0, 0.0}) {
        SCOPED_TRACE("--scale " + std::to_string(scale));
        const std::string show = (dir / (scale == 1 ? "kept" : "fitted")).string();
        ImportOptions options;
        options.scale = scale;
        std::FILE* quiet = std::fopen("/dev/null", "w");
        ASSERT_EQ(runImport((dir / "tiny.gltf").string(), show, options, false, quiet, quiet), 0);
        std::fclose(quiet);
        DataFolder folder;
        std::string problem;
        ASSERT_TRUE(folder.open(show, true, problem)) << problem;
        const std::vector<CheckProblem> problems = CheckDemoFolder(folder);
        if (scale == 0) {
            EXPECT_TRUE(problems.empty()) << problems[0].problem;
            continue;
        }
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].file, "script.txt");
        EXPECT_EQ(problems[0].problem, "part 1: camera \"camera\" sees no vertex of tiny.scn between the near plane "
                                       "(0.1) and the far plane (10000) within its field of view, at frame 0 or at any "
                                       "of its keys; the part is black from 0 to 10000 ms");
    }
    fs::remove_all(dir);
}

// An orthographic camera is placed far enough back for 0.5 % of the picture's height over
// the model's depth, and said so; at a size kept by --scale where that distance would pass
// the far plane, or seeing nothing, it is skipped with a warning.
TEST(GltfModelFeatures, AnOrthographicCameraIsPlacedOrSkippedWithItsReason)
{
    const struct {
        const char* translation;
        float depth; // of the second triangle, behind the first
        double scale;
        const char* said;
    } cases[] = {
        {"[0,0,5]", -2, 0, "orthographic, drawn by a perspective camera 128.692 model units from the model's middle "
                           "(a field of view of 0.890413 degrees), within 0.5 % of the picture's height"},
        {"[0,0,5]", -200, 1, "orthographic, and a perspective camera far enough away to stand for it would pass the "
                             "far plane; skipped"},
        {"[0,0,-5]", -2, 0, "orthographic, and sees nothing of the model; skipped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        GltfText g = triangleModel();
        g.nodes.push_back("{\"name\":\"deep\",\"mesh\":0,\"translation\":[0,0," + std::to_string(c.depth) + "]}");
        g.nodes.push_back(std::string("{\"name\":\"side\",\"camera\":0,\"translation\":") + c.translation + "}");
        g.scenes = "[{\"nodes\":[0,1,2]}]";
        g.extra.push_back("\"cameras\":[{\"type\":\"orthographic\",\"orthographic\":{\"xmag\":2,\"ymag\":1,"
                          "\"znear\":0.1,\"zfar\":1000}}]");
        ImportOptions options;
        options.scale = c.scale;
        ImportedShow show;
        ASSERT_TRUE(importText(g, show, options));
        std::string said;
        for (const std::string& line : show.warnings)
            said += line + "\n";
        for (const std::string& line : show.notes)
            said += line + "\n";
        EXPECT_NE(said.find("camera \"side\": " + std::string(c.said)), std::string::npos) << said;
    }
}

// Instances that would pass the player's 1 GiB of scene file are refused, naming the node,
// before they are built; instances whose attributes disagree in count are refused too.
TEST(GltfModelFeatures, InstancesPastTheScenesLimitOrOutOfStepAreRefused)
{
    const struct {
        int triangles, instances;
        bool rotations; // a ROTATION accessor of one instance fewer
        const char* refusal;
    } cases[] = {
        {20000, 1500, false, "node \"forest\": its 1500 instances of "},
        {1, 3, true, "EXT_mesh_gpu_instancing: ROTATION does not give one VEC4 per instance"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        GltfText g;
        std::vector<float> corners;
        std::vector<uint16_t> indices;
        for (int i = 0; i < c.triangles; ++i) {
            corners.insert(corners.end(), {float(i % 100), float(i / 100), 0, float(i % 100) + 0.5f, float(i / 100), 0,
                                           float(i % 100), float(i / 100) + 0.5f, 0});
        }
        g.floats(corners, "VEC3");
        for (int i = 0; i < c.triangles * 3 && i < 60000; ++i)
            indices.push_back(uint16_t(i));
        g.indices(indices);
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
        const int t = g.floats(std::vector<float>(size_t(c.instances) * 3, 1.0f), "VEC3");
        const int r = g.floats(std::vector<float>(size_t(c.instances - 1) * 4, 0.5f), "VEC4");
        g.nodes.push_back("{\"name\":\"forest\",\"mesh\":0,\"extensions\":{\"EXT_mesh_gpu_instancing\":{"
                          "\"attributes\":{\"TRANSLATION\":" + std::to_string(t) +
                          (c.rotations ? ",\"ROTATION\":" + std::to_string(r) : std::string()) + "}}}}");
        const std::string text = g.text();
        ImportedShow show;
        std::string error;
        EXPECT_FALSE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "f.gltf", {},
                                      show, error));
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
}

} // namespace

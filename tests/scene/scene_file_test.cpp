// Loading scene files assembled byte by byte: structure, markers, materials and damage.
#include "common/data_file.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"
#include "support/node_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace records;

namespace {

void load(Scene& scene, const RecordBytes& b)
{
    scene.loadMemory(b.data(), b.size());
}

// mesh, camera { target }: the tree every scene author starts from.
RecordBytes exampleTree()
{
    RecordBytes b;
    b.i32(7).i32(9);
    triangleMeshBody(b.i32(0), "Body").i32(-1);
    cameraBody(b.i32(1), "Cam", 0, -10, 0);
    targetBody(b.i32(2), "Cam").i32(-1);
    b.i32(-1); // the camera's child list
    b.i32(-1); // the top level
    return b;
}

std::string tempPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

} // namespace

TEST(SceneFile, MinimalFileGivesAnEmptyScene)
{
    RecordBytes b;
    b.hex({0x01, 0, 0, 0, 0x02, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});
    Scene scene;
    load(scene, b);
    EXPECT_FALSE(scene.reader->failed());
    EXPECT_EQ(scene.headerA, 1);
    EXPECT_EQ(scene.headerB, 2);
    EXPECT_EQ(scene.children.size(), 0);
    EXPECT_EQ(scene.materials.size(), 0);
    EXPECT_EQ(scene.camera, nullptr);
    EXPECT_EQ(scene.lightCount, 0);
}

TEST(SceneFile, ExampleTreeReadsEveryByteAndNestsTheTarget)
{
    RecordBytes b = exampleTree();
    noMaterials(b);
    std::string path = tempPath("taldrex-example.scn");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);

    Scene scene;
    ASSERT_EQ(scene.loadFile(path.c_str()), 0);
    EXPECT_FALSE(scene.reader->failed());
    EXPECT_EQ(scene.reader->offset(), b.size());
    EXPECT_EQ(scene.headerA, 7);
    EXPECT_EQ(scene.headerB, 9);
    ASSERT_EQ(scene.children.size(), 2);

    Node& mesh = *scene.children[0];
    EXPECT_EQ(mesh.kind, NodeKind::Mesh);
    EXPECT_EQ(mesh.name, "body");
    EXPECT_EQ(mesh.parent, &scene);
    EXPECT_EQ(mesh.children.size(), 0);
    EXPECT_EQ(static_cast<MeshNode&>(mesh).vertices.size(), 3);

    Node& camera = *scene.children[1];
    EXPECT_EQ(camera.kind, NodeKind::Camera);
    ASSERT_EQ(camera.children.size(), 1);
    Node& target = *camera.children[0];
    EXPECT_EQ(target.kind, NodeKind::Target);
    EXPECT_EQ(target.parent, &camera);
    EXPECT_EQ(scene.camera, &camera);
    // A target is linked only when it is the camera's sibling, not its child.
    EXPECT_EQ(scene.camera->target, nullptr);
    std::filesystem::remove(path);
}

TEST(SceneFile, ChildMarkersKeepFileOrderAndGrandchildrenTheirParent)
{
    // a { b { c } d }  e
    RecordBytes b;
    b.i32(0).i32(0);
    transformBody(b.i32(5), "a");
    transformBody(b.i32(5), "b");
    transformBody(b.i32(5), "c").i32(-1);
    b.i32(-1);
    transformBody(b.i32(5), "d").i32(-1);
    b.i32(-1);
    transformBody(b.i32(5), "e").i32(-1);
    b.i32(-1);
    noMaterials(b);
    Scene scene;
    load(scene, b);
    ASSERT_FALSE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), 2);
    Node& a = *scene.children[0];
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(scene.children[1]->name, "e");
    ASSERT_EQ(a.children.size(), 2);
    EXPECT_EQ(a.children[0]->name, "b");
    EXPECT_EQ(a.children[1]->name, "d");
    ASSERT_EQ(a.children[0]->children.size(), 1);
    Node& c = *a.children[0]->children[0];
    EXPECT_EQ(c.name, "c");
    EXPECT_EQ(c.parent, a.children[0].get());
    EXPECT_EQ(scene.reader->offset(), b.size());
}

TEST(SceneFile, EveryNodeKindReadsItsBodyAndOnlyLightsAreCounted)
{
    RecordBytes b;
    b.i32(0).i32(0);
    lightBody(b.i32(4), "Lamp").i32(-1);
    spotBody(b.i32(3), "Spot").i32(-1);
    transformBody(b.i32(5), "Group", 0, 5, 0);
    lightBody(b.i32(4), "Inner").i32(-1);
    b.i32(-1);
    b.i32(-1);
    noMaterials(b);
    Scene scene;
    load(scene, b);
    ASSERT_FALSE(scene.reader->failed());
    EXPECT_EQ(scene.lightCount, 2);
    ASSERT_EQ(scene.children.size(), 3);
    auto& lamp = static_cast<LightNode&>(*scene.children[0]);
    EXPECT_EQ(lamp.kind, NodeKind::Light);
    EXPECT_EQ(lamp.colour, Vector3(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(lamp.positionTrack.keys[0]->value, Vector3(10, 0, 0));
    EXPECT_EQ(lamp.constantAttenuation, 1.0f);
    EXPECT_FALSE(lamp.isDrawable());
    auto& spot = static_cast<SpotNode&>(*scene.children[1]);
    EXPECT_EQ(spot.kind, NodeKind::Spot);
    EXPECT_EQ(spot.colour, Vector3(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(spot.firstTrack.keys[0]->value, 1.0f);
    EXPECT_EQ(spot.secondTrack.keys[0]->value, 2.0f);
    EXPECT_EQ(scene.children[2]->children[0]->kind, NodeKind::Light);
}

TEST(SceneFile, MaterialAmountsOfZeroNegativeOrNanLeaveTheSlotEmpty)
{
    RecordBytes b;
    b.i32(0).i32(0).i32(-1);
    b.i32(12345); // read and discarded: only the second word counts
    b.i32(2);
    b.str("Wood");
    const float amounts[11] = {0.0f, 0.5f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 2.0f,
                               0, 0, 0, 0, 1.0f, 0};
    for (int k = 0; k < 11; ++k)
        b.f32(amounts[k]).str("map" + std::to_string(k) + ".bmp");
    b.str("Plain");
    for (int k = 0; k < 11; ++k)
        b.f32(0).str("");
    Scene scene;
    load(scene, b);
    ASSERT_FALSE(scene.reader->failed());
    EXPECT_EQ(scene.reader->offset(), b.size());
    ASSERT_EQ(scene.materials.size(), 2);
    const Material& wood = *scene.materials[0];
    EXPECT_EQ(wood.name, "Wood");
    for (int k : {0, 2, 3, 5, 6, 7, 8, 10}) {
        EXPECT_FALSE(wood.maps[k].present()) << k;
        EXPECT_EQ(wood.maps[k].mapFile, "") << k;
        EXPECT_EQ(wood.maps[k].amount, 0.0f) << k;
    }
    EXPECT_EQ(wood.maps[1].mapFile, "map1.bmp");
    EXPECT_EQ(wood.maps[1].amount, 0.5f);
    EXPECT_EQ(wood.maps[4].mapFile, "map4.bmp");
    EXPECT_EQ(wood.maps[9].amount, 1.0f);
    EXPECT_EQ(wood.renderModeKind(), 24);
    EXPECT_EQ(scene.materials[1]->name, "Plain");
    EXPECT_EQ(scene.materials[1]->renderModeKind(), 1);
}

TEST(SceneFile, NegativeMaterialCountReadsNoRecords)
{
    RecordBytes b;
    b.i32(0).i32(0).i32(-1).i32(0).i32(-3).str("never read");
    Scene scene;
    load(scene, b);
    EXPECT_EQ(scene.materials.size(), 0);
    EXPECT_FALSE(scene.reader->failed());
}

TEST(SceneFile, MissingFileReturnsOneAndLeavesTheSceneEmpty)
{
    Scene scene;
    EXPECT_EQ(scene.loadFile(tempPath("taldrex-no-such-scene.scn").c_str()), 1);
    EXPECT_EQ(scene.children.size(), 0);
    EXPECT_EQ(scene.materials.size(), 0);
    EXPECT_EQ(scene.camera, nullptr);
    EXPECT_EQ(scene.lightCount, 0);
    EXPECT_EQ(scene.headerA, 0);
}

TEST(SceneFile, OnlyRegularFilesWithinTheSizeLimitAreOpened)
{
    // A FIFO with no writer would block an ordinary open for ever; a folder and a file one
    // byte over the limit (sparse, so it takes no disk) are refused before any reading.
    const std::string fifo = tempPath(("taldrex-scene-fifo-" + std::to_string(getpid()) + ".scn").c_str());
    const std::string folder = tempPath(("taldrex-scene-folder-" + std::to_string(getpid()) + ".scn").c_str());
    const std::string large = tempPath(("taldrex-scene-large-" + std::to_string(getpid()) + ".scn").c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    std::FILE* file = std::fopen(large.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    std::filesystem::resize_file(large, static_cast<uintmax_t>(SceneFileLimit) + 1);
    for (const std::string& path : {fifo, folder, large}) {
        Scene scene;
        EXPECT_EQ(scene.loadFile(path.c_str()), 1) << path;
        EXPECT_TRUE(scene.reader->failed());
        EXPECT_EQ(scene.children.size(), 0);
    }
    std::filesystem::remove(fifo);
    std::filesystem::remove(folder);
    std::filesystem::remove(large);
}

TEST(SceneFile, TruncationAtAnyOffsetStopsCleanlyAndKeepsWhatWasRead)
{
    RecordBytes full = exampleTree();
    full.i32(0).i32(1).str("Skin");
    for (int k = 0; k < 11; ++k)
        full.f32(k == 1 ? 1.0f : 0.0f).str(k == 1 ? "skin.jpg" : "");
    size_t meshEnd = 8 + 4 + 0; // headers, type id
    {
        RecordBytes mesh;
        triangleMeshBody(mesh, "Body").i32(-1);
        meshEnd += mesh.size();
    }
    for (size_t cut = 0; cut < full.size(); ++cut) {
        Scene scene;
        scene.loadMemory(full.data(), cut);
        ASSERT_TRUE(scene.reader->failed()) << cut;
        EXPECT_LE(scene.reader->failedOffset(), static_cast<int64_t>(cut)) << cut;
        EXPECT_LE(scene.children.size(), 2) << cut;
        EXPECT_LE(scene.materials.size(), 1) << cut;
        if (cut >= meshEnd) {
            // Everything up to the mesh's child marker was there: the mesh is whole.
            ASSERT_GE(scene.children.size(), 1) << cut;
            auto& mesh = static_cast<MeshNode&>(*scene.children[0]);
            EXPECT_EQ(mesh.vertices.size(), 3) << cut;
            EXPECT_EQ(mesh.faceGroups.size(), 1) << cut;
        }
    }
}

TEST(SceneFile, UnknownTypeIdStopsReadingThereAndKeepsEarlierNodes)
{
    RecordBytes b;
    b.i32(0).i32(0);
    transformBody(b.i32(5), "kept").i32(-1);
    size_t badAt = b.size();
    b.i32(9);
    transformBody(b, "never").i32(-1).i32(-1);
    noMaterials(b);
    Scene scene;
    load(scene, b);
    EXPECT_TRUE(scene.reader->failed());
    EXPECT_EQ(scene.reader->failedOffset(), static_cast<int64_t>(badAt));
    ASSERT_EQ(scene.children.size(), 1);
    EXPECT_EQ(scene.children[0]->name, "kept");
}

TEST(SceneFile, OverLongNameIsTruncatedAndTheFieldsAfterItStayAligned)
{
    std::string longName(200, 'Q');
    RecordBytes b;
    b.i32(0).i32(0);
    targetBody(b.i32(2), longName, 1, 2, 3).i32(-1);
    transformBody(b.i32(5), "Next").i32(-1);
    b.i32(-1);
    noMaterials(b);
    Scene scene;
    load(scene, b);
    ASSERT_FALSE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), 2);
    EXPECT_EQ(scene.children[0]->name, std::string(127, 'q'));
    EXPECT_EQ(scene.children[0]->positionTrack.keys[0]->value, Vector3(1, 2, 3));
    EXPECT_EQ(scene.children[1]->name, "next");
}

TEST(SceneFile, CorruptHugeCountsFailWithoutAllocating)
{
    RecordBytes b;
    b.i32(0).i32(0);
    b.i32(0).str("huge").i32(0x7FFFFFFF).f32(1).f32(2).f32(3);
    Scene scene;
    load(scene, b);
    EXPECT_TRUE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), 1);
    auto& mesh = static_cast<MeshNode&>(*scene.children[0]);
    EXPECT_EQ(mesh.vertices.size(), 0);
    EXPECT_EQ(mesh.vertices.capacity(), 0);

    RecordBytes m;
    m.i32(0).i32(0).i32(-1).i32(0).i32(100000000).str("one");
    Scene materials;
    load(materials, m);
    EXPECT_TRUE(materials.reader->failed());
    EXPECT_EQ(materials.materials.size(), 0);
}

TEST(SceneFile, NestingDeeperThan256LevelsIsDamage)
{
    auto nested = [](int depth) {
        RecordBytes b;
        b.i32(0).i32(0);
        for (int level = 0; level < depth; ++level)
            transformBody(b.i32(5), "n" + std::to_string(level));
        for (int level = 0; level <= depth; ++level)
            b.i32(-1);
        return noMaterials(b), b;
    };
    auto depthOf = [](const Scene& scene) {
        int depth = 0;
        for (const Node* n = &scene; n->children.size() > 0; n = n->children[0].get())
            ++depth;
        return depth;
    };
    Scene deepest;
    load(deepest, nested(256));
    EXPECT_FALSE(deepest.reader->failed());
    EXPECT_EQ(depthOf(deepest), 256);

    Scene tooDeep;
    load(tooDeep, nested(257));
    EXPECT_TRUE(tooDeep.reader->failed());
    EXPECT_EQ(depthOf(tooDeep), 256);

    Scene hostile;
    load(hostile, nested(100000));
    EXPECT_TRUE(hostile.reader->failed());
}

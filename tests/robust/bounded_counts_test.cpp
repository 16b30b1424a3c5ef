// Files that declare 2^31 - 1 of something (keys, vertices, faces, groups, face indices,
// morph keys and positions, materials) or nest nodes without end load at once, flag the
// damage where the count stands and take no more memory than the file could fill.
#include "heap_meter.h"
#include "sample_scenes.h"
#include "support/node_records.h"

#include "graph/camera_node.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

// A hostile file and the offset of the count that cannot be right.
struct HostileFile {
    RecordBytes bytes;
    size_t countAt = 0;
};

// The header, one top-level node of the given type whose body `body` writes, and the ends
// of its child list, of the top level and an empty material section.
HostileFile oneNode(int32_t typeId, const std::function<void(HostileFile&)>& body)
{
    HostileFile file;
    file.bytes.i32(0).i32(0).i32(typeId);
    body(file);
    file.bytes.i32(-1).i32(-1);
    records::noMaterials(file.bytes);
    return file;
}

// The impossible count, remembered where it stands, then a little data after it.
void hugeCount(HostileFile& file)
{
    file.countAt = file.bytes.size();
    file.bytes.i32(INT_MAX);
    for (int i = 0; i < 16; ++i)
        file.bytes.f32(1.0f);
}

RecordBytes& triangleGeometry(RecordBytes& b)
{
    b.i32(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0);
    return b.i32(1).i32(0).f32(0).f32(0).i32(1).f32(1).f32(0).i32(2).f32(0).f32(1);
}

// The mesh body up to and including the visibility track, then the morph header word.
RecordBytes& meshBeforeMorph(RecordBytes& b)
{
    b.str("blob");
    triangleGeometry(b);
    b.i32(1).i32(0).i32(1).i32(0);
    records::vectorKeyTrack(b, 0, 0, 0);
    records::identityRotation(b);
    records::vectorKeyTrack(b, 1, 1, 1);
    records::visibility(b);
    return b.i32(1);
}

struct Case {
    const char* name;
    std::function<HostileFile()> make;
};

const Case cases[] = {
    {"position keys", [] { return oneNode(5, [](HostileFile& f) { f.bytes.str("t").i32(1); hugeCount(f); }); }},
    {"rotation keys", [] {
         return oneNode(5, [](HostileFile& f) {
             f.bytes.str("t");
             records::vectorKeyTrack(f.bytes, 0, 0, 0).i32(1);
             hugeCount(f);
         });
     }},
    {"field-of-view keys", [] {
         return oneNode(1, [](HostileFile& f) {
             f.bytes.str("cam");
             records::vectorKeyTrack(f.bytes, 0, 0, 0);
             records::scalarKeyTrack(f.bytes, 0.0f).i32(1);
             hugeCount(f);
         });
     }},
    {"vertices", [] { return oneNode(0, [](HostileFile& f) { f.bytes.str("m"); hugeCount(f); }); }},
    {"faces", [] {
         return oneNode(0, [](HostileFile& f) {
             f.bytes.str("m").i32(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0);
             hugeCount(f);
         });
     }},
    {"groups", [] {
         return oneNode(0, [](HostileFile& f) {
             triangleGeometry(f.bytes.str("m"));
             hugeCount(f);
         });
     }},
    {"face indices of a group", [] {
         return oneNode(0, [](HostileFile& f) {
             triangleGeometry(f.bytes.str("m")).i32(1).i32(0);
             hugeCount(f);
         });
     }},
    {"morph keys", [] { return oneNode(0, [](HostileFile& f) { meshBeforeMorph(f.bytes); hugeCount(f); }); }},
    {"morph key positions", [] {
         return oneNode(0, [](HostileFile& f) {
             meshBeforeMorph(f.bytes).i32(1).keyHeader(0);
             hugeCount(f);
         });
     }},
    {"materials", [] {
         HostileFile file;
         file.bytes.i32(0).i32(0).i32(-1).i32(0);
         hugeCount(file);
         return file;
     }},
};

// CPU seconds, so a busy machine does not make a quick load look slow.
double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The heap an undamaged, nearly empty scene takes to load: the reader's own buffer and
// the scene's fixed parts.
size_t emptyLoadRise()
{
    std::string bytes = writeScene(minimalScene());
    HeapMeter meter;
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    return meter.rise();
}

// Nodes may amplify their records (a node object is larger than its smallest record), but
// never beyond this many times the file's size.
constexpr size_t objectsPerFileByte = 16;

TEST(BoundedCounts, ImpossibleCountsAreRefusedWhereTheyStand)
{
    const size_t baseline = emptyLoadRise();
    size_t largest = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostileFile file = c.make();
        HeapMeter meter;
        double start = cpuSeconds();
        {
            Scene scene;
            scene.loadMemory(file.bytes.data(), file.bytes.size());
            EXPECT_TRUE(scene.reader->failed());
            EXPECT_EQ(scene.reader->failedOffset(), static_cast<int64_t>(file.countAt));
            scene.evaluateNodes(1.0f);
        }
        EXPECT_LT(cpuSeconds() - start, 2.0);
        EXPECT_LE(meter.rise(), baseline + objectsPerFileByte * file.bytes.size());
        largest = std::max(largest, meter.rise());
    }
    std::printf("[  figures ] impossible counts: largest heap rise %zu bytes (an empty scene: %zu)\n",
                largest, baseline);
}

TEST(BoundedCounts, NestingStopsAtTheDepthLimit)
{
    // A hundred thousand transform nodes, each opening the child list of the one before.
    constexpr int levels = 100000;
    RecordBytes bytes;
    bytes.i32(0).i32(0);
    size_t tooDeepAt = 0;
    for (int level = 1; level <= levels; ++level) {
        if (level == maxNodeDepth + 1)
            tooDeepAt = bytes.size();
        bytes.i32(5);
        records::transformBody(bytes, "n");
    }
    for (int level = 0; level <= levels; ++level)
        bytes.i32(-1);
    records::noMaterials(bytes);

    const size_t baseline = emptyLoadRise();
    HeapMeter meter;
    double start = cpuSeconds();
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    EXPECT_TRUE(scene.reader->failed());
    EXPECT_EQ(scene.reader->failedOffset(), static_cast<int64_t>(tooDeepAt));
    int depth = 0;
    for (Node* node = &scene; !node->children.empty(); node = node->children[0].get())
        ++depth;
    EXPECT_EQ(depth, maxNodeDepth);
    scene.evaluateNodes(1.0f);
    EXPECT_LT(cpuSeconds() - start, 2.0);
    EXPECT_LE(meter.rise(), baseline + objectsPerFileByte * bytes.size());
    std::printf("[  figures ] %d nested levels (%zu bytes): heap rise %zu bytes\n", levels,
                bytes.size(), meter.rise());
}

TEST(BoundedCounts, ManyCamerasAndTargetsLinkInLinearTime)
{
    // 40000 cameras and their targets side by side under one parent: pairing each camera
    // with every sibling would take billions of comparisons.
    constexpr int pairs = 40000;
    SceneSpec spec;
    for (int i = 0; i < pairs; ++i) {
        NodeSpec camera;
        camera.type = NodeType::Camera;
        camera.name = "cam" + std::to_string(i);
        spec.nodes.push_back(camera);
    }
    for (int i = pairs - 1; i >= 0; --i) {
        NodeSpec target;
        target.type = NodeType::Target;
        target.name = "cam" + std::to_string(i);
        spec.nodes.push_back(target);
    }
    std::string bytes = writeScene(spec);

    double start = cpuSeconds();
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    double seconds = cpuSeconds() - start;
    ASSERT_FALSE(scene.reader->failed());
    EXPECT_LT(seconds, 2.0);
    ASSERT_EQ(scene.children.size(), 2 * pairs);
    for (int i : {0, pairs / 2, pairs - 1}) {
        auto& camera = static_cast<CameraNode&>(*scene.children[i]);
        ASSERT_NE(camera.target, nullptr);
        EXPECT_EQ(camera.target->name, camera.name);
    }
    std::printf("[  figures ] %d cameras and targets (%zu bytes) load in %.3f s of CPU\n", pairs,
                bytes.size(), seconds);
}

} // namespace

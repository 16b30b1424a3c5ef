// Linking cameras and spots to their same-named sibling targets: the last target of a name
// wins, whatever the names are, including names made to share one std::hash value.
#include "colliding_names.h"
#include "graph/camera_node.h"
#include "graph/spot_node.h"
#include "scene/scene.h"
#include "support/node_records.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

namespace {

TEST(SiblingLinking, CraftedNamesLinkToTheLastTargetOfTheirName)
{
    constexpr int count = 3000;
    const std::vector<std::string> names = CollidingNames(count, 42);
    // The names really do collide: a hash table keyed by them has one bucket in use.
    const size_t hash = std::hash<std::string_view>{}(names[0]);
    for (const std::string& name : names)
        ASSERT_EQ(std::hash<std::string_view>{}(name), hash);

    // Per name i: a target, a camera (or a spot for odd i), and a second same-named target
    // for every third name, which must win. The last name has a camera and no target.
    RecordBytes b;
    b.i32(0).i32(0);
    for (int i = 0; i < count; ++i) {
        b.i32(2);
        records::targetBody(b, names[i], static_cast<float>(i)).i32(-1);
    }
    for (int i = 0; i < count; ++i) {
        b.i32(i % 2 ? 3 : 1);
        (i % 2 ? records::spotBody(b, names[i]) : records::cameraBody(b, names[i])).i32(-1);
    }
    for (int i = 0; i < count; i += 3) {
        b.i32(2);
        records::targetBody(b, names[i], -static_cast<float>(i)).i32(-1);
    }
    const std::string lonely = CollidingNames(count + 1, 42).back();
    b.i32(1);
    records::cameraBody(b, lonely).i32(-1);
    b.i32(-1);
    records::noMaterials(b);

    Scene scene;
    scene.loadMemory(b.data(), b.size());
    ASSERT_FALSE(scene.reader->failed());
    const int targets = count + (count + 2) / 3;
    ASSERT_EQ(scene.children.size(), targets + count + 1);
    for (int i = 0; i < count; ++i) {
        Node& node = *scene.children[count + i];
        TargetNode* target = i % 2 ? static_cast<SpotNode&>(node).target : static_cast<CameraNode&>(node).target;
        ASSERT_NE(target, nullptr) << i;
        EXPECT_EQ(target->name, names[i]);
        const int expected = i % 3 == 0 ? 2 * count + i / 3 : i;
        EXPECT_EQ(target, scene.children[expected].get()) << i;
    }
    // The camera without a target is the scene's camera, the last in pre-order.
    EXPECT_EQ(scene.camera, scene.children[targets + count].get());
    EXPECT_EQ(scene.camera->target, nullptr);
}

} // namespace

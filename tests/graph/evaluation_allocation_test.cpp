// Evaluating a loaded scene, frame after frame, allocates nothing: this program counts
// every global allocation.
#include "graph/mesh_node.h"
#include "render/render_mode.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include "support/allocation_counter.h"

namespace {

// Every node kind, animated on every track, with a morphing mesh under a transform.
SceneSpec animatedScene()
{
    SceneSpec spec;
    NodeSpec rig = makeNode(NodeType::Transform, "rig");
    rig.position.keys = {{0, {0, 0, 0}}, {10, {1, 0, 0}}, {20, {0, 1, 0}}};
    rig.rotation.keys = {{0, {1, 0, 0, 0}}, {10, {0.7071068f, 0, 0, 0.7071068f}}, {20, {0, 0, 0, 1}}};
    rig.scale.keys = {{0, {1, 1, 1}}, {20, {2, 2, 2}}};
    rig.visibility = {5, 15};
    NodeSpec mesh = makeNode(NodeType::Mesh, "blob");
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}};
    mesh.groups = {{0, {0}}};
    for (int k = 0; k < 4; ++k)
        mesh.morph.keys.push_back({k * 10, {{0, 0, 0}, {1.0f + k, 0, 0}, {0, 1.0f + k, 0}}});
    rig.add(mesh);
    NodeSpec camera = makeNode(NodeType::Camera, "cam");
    camera.roll.keys = {{0, 0.0f}, {20, 1.0f}};
    camera.fov.keys = {{0, 0.5f}, {20, 0.7f}};
    spec.nodes.push_back(rig);
    spec.nodes.push_back(camera);
    spec.nodes.push_back(makeNode(NodeType::Target, "cam"));
    spec.nodes.push_back(makeNode(NodeType::Light, "lamp"));
    spec.nodes.push_back(makeNode(NodeType::Spot, "spot"));
    return spec;
}

} // namespace

TEST(SceneEvaluation, FramesAllocateNothing)
{
    std::string bytes = writeScene(animatedScene());
    long before = AllocationCount();
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());
    ASSERT_GT(AllocationCount(), before); // the counter does see loading
    auto& mesh = static_cast<MeshNode&>(*scene.children[0]->children[0]);
    ASSERT_TRUE(mesh.morphs());

    before = AllocationCount();
    float checksum = 0.0f;
    for (float time = -5.0f; time < 40.0f; time += 0.37f) {
        scene.evaluateNodes(time);
        checksum += mesh.currentVertices()[1].x;
    }
    scene.evaluateNodes(3.0f); // backwards
    checksum += mesh.currentVertices()[2].y;
    EXPECT_EQ(AllocationCount(), before);
    EXPECT_GT(checksum, 0.0f);
}

namespace {

// Stands in for the drawing: remembers the positions it was handed.
class RecordingMode : public RenderMode {
public:
    void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces, const Vector3Array&) const override
    {
        ++draws;
        lastX = vertices[faces[0].corners[1].vertex].x;
    }
    mutable int draws = 0;
    mutable float lastX = 0.0f;
};

} // namespace

TEST(SceneEvaluation, MorphingMeshDrawsTheTimeOfItsLastVisibleEvaluationWithoutAllocating)
{
    std::string bytes = writeScene(animatedScene());
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    auto& mesh = static_cast<MeshNode&>(*scene.children[0]->children[0]);
    GrowableArray<std::unique_ptr<RenderMode>> modes;
    modes.append(std::make_unique<RecordingMode>());
    const auto& recorder = static_cast<const RecordingMode&>(*modes[0]);
    mesh.bindRenderModes(modes);
    ASSERT_FALSE(mesh.listBuilt);

    long before = AllocationCount();
    for (float time = 0.0f; time < 30.0f; time += 0.5f) {
        mesh.evaluate(time, true);
        mesh.render();
    }
    EXPECT_EQ(AllocationCount(), before);
    EXPECT_EQ(recorder.draws, 60);
    EXPECT_NEAR(recorder.lastX, 3.95f, 0.01f); // key 2 (x = 3) on its way to key 3 (x = 4)

    mesh.evaluate(10.0f, true);
    mesh.visibilityTrack.visible = false; // hidden: nothing drawn
    mesh.render();
    EXPECT_EQ(recorder.draws, 60);
    mesh.visibilityTrack.visible = true;
    mesh.render();
    EXPECT_FLOAT_EQ(recorder.lastX, 2.0f); // key 1, at the last evaluated time
}

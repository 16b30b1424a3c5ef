// The passes that finish a loaded scene: camera choice, target links, material binding.
#include "graph/camera_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

namespace {

void load(Scene& scene, const SceneSpec& spec)
{
    std::string bytes = writeScene(spec);
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());
}

NodeSpec triangleMesh(const std::string& name, std::vector<int32_t> groupMaterials)
{
    NodeSpec mesh = makeNode(NodeType::Mesh, name);
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces.push_back({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}});
    for (int32_t material : groupMaterials)
        mesh.groups.push_back({material, {0}});
    return mesh;
}

MaterialSpec materialWithSurface(float amount)
{
    MaterialSpec material;
    material.name = "m";
    material.maps[1] = {amount, "skin.jpg"};
    return material;
}

} // namespace

TEST(LinkTargets, LastCameraInPreOrderBecomesTheSceneCamera)
{
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Camera, "first"));
    NodeSpec group = makeNode(NodeType::Transform, "group");
    group.add(makeNode(NodeType::Camera, "nested"));
    spec.nodes.push_back(group);
    spec.nodes.push_back(makeNode(NodeType::Mesh, "after"));
    Scene scene;
    load(scene, spec);
    ASSERT_NE(scene.camera, nullptr);
    EXPECT_EQ(scene.camera->name, "nested");
}

TEST(LinkTargets, SameNamedSiblingTargetLinksWhateverItsPlaceAndTheLastWins)
{
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Target, "eye", {1, 0, 0}));
    spec.nodes.push_back(makeNode(NodeType::Camera, "eye"));
    spec.nodes.push_back(makeNode(NodeType::Target, "eyes", {2, 0, 0}));
    spec.nodes.push_back(makeNode(NodeType::Target, "eye", {3, 0, 0}));
    NodeSpec elsewhere = makeNode(NodeType::Transform, "elsewhere");
    elsewhere.add(makeNode(NodeType::Target, "lone"));
    spec.nodes.push_back(elsewhere);
    spec.nodes.push_back(makeNode(NodeType::Camera, "lone"));
    Scene scene;
    load(scene, spec);
    auto& eye = static_cast<CameraNode&>(*scene.children[1]);
    ASSERT_NE(eye.target, nullptr);
    EXPECT_EQ(eye.target, scene.children[3].get());
    // A target under another parent is never used.
    auto& lone = static_cast<CameraNode&>(*scene.children[5]);
    EXPECT_EQ(lone.target, nullptr);
    EXPECT_EQ(scene.camera, &lone);
}

TEST(LinkTargets, SpotNodesLinkLikeCamerasAndDoNotCountAsLightsOrCameras)
{
    SceneSpec spec;
    NodeSpec rig = makeNode(NodeType::Transform, "rig");
    rig.add(makeNode(NodeType::Spot, "beam"));
    rig.add(makeNode(NodeType::Target, "beam"));
    rig.add(makeNode(NodeType::Light, "lamp"));
    spec.nodes.push_back(rig);
    Scene scene;
    load(scene, spec);
    Node& r = *scene.children[0];
    auto& spot = static_cast<SpotNode&>(*r.children[0]);
    EXPECT_EQ(spot.target, r.children[1].get());
    EXPECT_EQ(scene.camera, nullptr);
    EXPECT_EQ(scene.lightCount, 1);
}

TEST(BindMaterials, GroupsFindTheirMaterialsAndTranslucencyMarksTheWholeMesh)
{
    SceneSpec spec;
    spec.nodes.push_back(triangleMesh("opaque", {0}));
    spec.nodes.push_back(triangleMesh("mixed", {0, 1}));
    spec.nodes.push_back(triangleMesh("broken", {2, -1}));
    spec.materials.push_back(materialWithSurface(1.0f));
    spec.materials.push_back(materialWithSurface(0.5f));
    Scene scene;
    load(scene, spec);
    auto& opaque = static_cast<MeshNode&>(*scene.children[0]);
    auto& mixed = static_cast<MeshNode&>(*scene.children[1]);
    auto& broken = static_cast<MeshNode&>(*scene.children[2]);
    EXPECT_FALSE(opaque.transparent);
    EXPECT_EQ(opaque.faceGroups[0]->material, scene.materials[0].get());
    EXPECT_TRUE(mixed.transparent);
    EXPECT_EQ(mixed.faceGroups[1]->material, scene.materials[1].get());
    // Indices naming no material bind to nothing instead of reading past the list.
    EXPECT_EQ(broken.faceGroups[0]->material, nullptr);
    EXPECT_EQ(broken.faceGroups[1]->material, nullptr);
    EXPECT_FALSE(broken.transparent);
}

TEST(PrepareTracks, EveryNodeIsPreparedAfterLoading)
{
    SceneSpec spec;
    NodeSpec group = makeNode(NodeType::Transform, "group");
    NodeSpec mover = makeNode(NodeType::Transform, "mover");
    mover.position.keys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}, {30, {0, 0, 0}}};
    group.add(mover);
    spec.nodes.push_back(group);
    Scene scene;
    load(scene, spec);
    const VectorTrack& track = scene.children[0]->children[0]->positionTrack;
    EXPECT_FLOAT_EQ(track.keys[0]->outTangent.x, 15.0f);
    EXPECT_FLOAT_EQ(track.keys[2]->inTangent.x, -15.0f);
}

// Node transforms, evaluation of each kind, visibility and the name search.
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void load(Scene& scene, const SceneSpec& spec)
{
    std::string bytes = writeScene(spec);
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());
}

void expectMatrixNear(const Matrix4& m, std::initializer_list<float> expected)
{
    int i = 0;
    for (float e : expected) {
        EXPECT_NEAR(m[i], e, 1e-6f) << "element " << i;
        ++i;
    }
}

} // namespace

TEST(NodeMatrix, IdentityRotationAndUnitScaleGiveATranslation)
{
    TransformNode node(nullptr);
    node.positionTrack.addKey(0, {1, 2, 3});
    node.rotationTrack.addKey(0, {1, 0, 0, 0});
    node.scaleTrack.addKey(0, {1, 1, 1});
    ASSERT_TRUE(node.evaluate(0.0f, true));
    expectMatrixNear(node.matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    EXPECT_EQ(node.position, Vector3(1, 2, 3));
}

TEST(NodeMatrix, QuarterTurnAndScaleFollowTheElementTable)
{
    const float h = std::sqrt(0.5f);
    LightNode node(nullptr);
    node.positionTrack.addKey(0, {0, 0, 0});
    node.rotationTrack.addKey(0, {h, 0, 0, h});
    node.scaleTrack.addKey(0, {2, 3, 4});
    node.evaluate(0.0f, true);
    // Columns are scaled by sx, sy, sz; the quarter turn puts -1 in element 1 and 1 in 4.
    expectMatrixNear(node.matrix, {0, -2, 0, 0, 3, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});
}

TEST(NodeMatrix, QuaternionIsUsedWithoutNormalising)
{
    TransformNode node(nullptr);
    node.rotationTrack.addKey(0, {0, 2, 0, 0});
    node.evaluate(0.0f, false);
    // 1 - 2x^2 with x = 2: a non-unit quaternion stretches instead of being corrected.
    EXPECT_NEAR(node.matrix[5], -7.0f, 1e-5f);
    EXPECT_NEAR(node.matrix[0], 1.0f, 1e-6f);
}

TEST(NodeEvaluate, EmptyTracksGiveTheRestTransform)
{
    TransformNode node(nullptr);
    node.evaluate(5.0f, true);
    EXPECT_EQ(node.matrix, Matrix4::identity());
}

TEST(NodeEvaluate, HiddenMeshAndTransformKeepTheirLastVisibleState)
{
    MeshNode mesh(nullptr);
    TransformNode transform(nullptr);
    for (Node* node : {static_cast<Node*>(&mesh), static_cast<Node*>(&transform)}) {
        node->positionTrack.addKey(0, {0, 0, 0});
        node->positionTrack.addKey(10, {10, 0, 0});
        node->positionTrack.prepare();
        node->visibilityTrack.addKey(4);
        node->visibilityTrack.addKey(8);
    }
    EXPECT_TRUE(mesh.evaluate(2.0f, true));
    EXPECT_TRUE(transform.evaluate(2.0f, true));
    Matrix4 meshBefore = mesh.matrix;
    Matrix4 transformBefore = transform.matrix;
    EXPECT_FALSE(mesh.evaluate(6.0f, true));
    EXPECT_FALSE(transform.evaluate(6.0f, true));
    EXPECT_EQ(mesh.matrix, meshBefore);
    EXPECT_EQ(mesh.evalTime, 2.0f);
    EXPECT_FLOAT_EQ(mesh.position.x, 2.0f);
    EXPECT_EQ(transform.matrix, transformBefore);
    EXPECT_TRUE(mesh.evaluate(9.0f, true));
    EXPECT_EQ(mesh.evalTime, 9.0f);
}

TEST(NodeEvaluate, CamerasTargetsAndLightsIgnoreVisibilityAndSpotsNeverMove)
{
    CameraNode camera(nullptr);
    TargetNode target(nullptr);
    LightNode light(nullptr);
    SpotNode spot(nullptr);
    for (Node* node : {static_cast<Node*>(&camera), static_cast<Node*>(&target),
                       static_cast<Node*>(&light), static_cast<Node*>(&spot)}) {
        node->positionTrack.addKey(0, {4, 5, 6});
        node->visibilityTrack.addKey(0);
        node->visibilityTrack.addKey(100);
        EXPECT_TRUE(node->evaluate(50.0f, true));
    }
    expectMatrixNear(camera.matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1});
    EXPECT_EQ(target.position, Vector3(4, 5, 6));
    EXPECT_EQ(target.matrix, Matrix4::identity());
    EXPECT_EQ(light.matrix[12], 4.0f);
    EXPECT_EQ(spot.position, Vector3());
    EXPECT_EQ(spot.matrix, Matrix4::identity());
}

TEST(SceneEvaluate, ChildrenOfHiddenNodesAreEvaluatedAllTheSame)
{
    SceneSpec spec;
    NodeSpec parent = makeNode(NodeType::Transform, "parent", {0, 5, 0});
    parent.visibility = {0, 100};
    NodeSpec child = makeNode(NodeType::Mesh, "child");
    child.position.keys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
    parent.add(child);
    spec.nodes.push_back(parent);
    Scene scene;
    load(scene, spec);
    scene.evaluateNodes(5.0f);
    Node& p = *scene.children[0];
    Node& c = *p.children[0];
    EXPECT_EQ(p.matrix, Matrix4::identity()); // hidden from frame 0: never composed
    EXPECT_NEAR(c.matrix[12], 5.0f, 1e-5f);
}

TEST(FindNodeByName, FirstSubstringMatchInPreOrder)
{
    SceneSpec spec;
    NodeSpec rig = makeNode(NodeType::Transform, "Rig");
    rig.add(makeNode(NodeType::Camera, "MainCam"));
    spec.nodes.push_back(rig);
    spec.nodes.push_back(makeNode(NodeType::Camera, "cam2"));
    Scene scene;
    load(scene, spec);
    EXPECT_EQ(scene.findNodeByName("cam"), scene.children[0]->children[0].get());
    EXPECT_EQ(scene.findNodeByName("cam2"), scene.children[1].get());
    EXPECT_EQ(scene.findNodeByName("ig"), scene.children[0].get());
    EXPECT_EQ(scene.findNodeByName("MainCam"), nullptr); // names are stored lower case
    EXPECT_EQ(scene.findNodeByName(""), scene.children[0].get());
    EXPECT_EQ(scene.findNodeByName("none"), nullptr);
}

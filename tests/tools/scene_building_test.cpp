// The show's mesh builders and track helpers, checked through the player's own reading of
// what they write: its vertex normals, node matrices and track evaluation.
#include "scene_building.h"

#include "graph/camera_node.h"
#include "graph/mesh_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace scenes;

namespace {

// A scene holding one node, read back by the player.
std::unique_ptr<Scene> loaded(const NodeSpec& node)
{
    SceneSpec spec;
    spec.nodes.push_back(node);
    spec.materials.push_back(textured("surface", "checker.jpg"));
    std::string bytes = writeScene(spec);
    auto scene = std::make_unique<Scene>();
    scene->loadMemory(bytes.data(), bytes.size());
    return scene;
}

// The normals the player computes for a mesh, one per vertex.
std::vector<Vector3> playerNormals(const Mesh& mesh)
{
    std::unique_ptr<Scene> scene = loaded(meshNode("mesh", mesh, 0));
    const auto& node = static_cast<const MeshNode&>(*scene->children[0]);
    std::vector<Vector3> normals;
    for (int i = 0; i < node.normals.size(); ++i)
        normals.push_back(node.normals[i]);
    return normals;
}

// The angle (radians) of a turn about Z that q gives the node's geometry.
float angleAboutZ(const Quaternion& q)
{
    // Where the node matrix takes the X axis (its first column, as the player builds it).
    float x = 1.0f - 2.0f * (q.y * q.y + q.z * q.z);
    float y = 2.0f * (q.x * q.y - q.w * q.z);
    return std::atan2(y, x);
}

} // namespace

TEST(SceneGeometry, SurfacesFaceTheWayTheirBuildersSay)
{
    Mesh ball = sphere(2.0f, 8, 16);
    // Poles and the seam are shared, so the shading has no creases.
    EXPECT_EQ(ball.vertices.size(), size_t(2 + 7 * 16));
    std::vector<Vector3> normals = playerNormals(ball);
    for (size_t i = 0; i < normals.size(); ++i)
        EXPECT_GT(dot(normals[i], normalised(ball.vertices[i])), 0.9f) << "sphere vertex " << i;

    Mesh shaft = tunnel(3.0f, 0.0f, 10.0f, 12, 5);
    normals = playerNormals(shaft);
    for (size_t i = 0; i < normals.size(); ++i) {
        Vector3 towardsAxis = normalised({-shaft.vertices[i].x, -shaft.vertices[i].y, 0.0f});
        EXPECT_GT(dot(normals[i], towardsAxis), 0.9f) << "tunnel vertex " << i;
    }

    Mesh ring = torus(3.0f, 0.5f, 24, 8);
    normals = playerNormals(ring);
    for (size_t i = 0; i < normals.size(); ++i) {
        Vector3 v = ring.vertices[i];
        Vector3 tubeCentre = normalised({v.x, v.y, 0.0f}) * 3.0f;
        EXPECT_GT(dot(normals[i], normalised(v - tubeCentre)), 0.9f) << "torus vertex " << i;
    }

    for (const Vector3& n : playerNormals(floorGrid(4.0f, 2.0f, 4, 2, 1.0f)))
        EXPECT_GT(n.z, 0.999f);

    // Each side of a box has its own corners, so every normal is its side's: an axis,
    // pointing out of the side its vertex lies on.
    Vector3 half{1.0f, 2.0f, 3.0f};
    Mesh cube = box(half);
    normals = playerNormals(cube);
    for (size_t i = 0; i < normals.size(); ++i) {
        Vector3 n = normals[i];
        EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0f, 1e-5f) << "box vertex " << i;
        EXPECT_NEAR(dot(cube.vertices[i], n), dot(half, Vector3(std::fabs(n.x), std::fabs(n.y), std::fabs(n.z))), 1e-5f)
            << "box vertex " << i;
    }
}

TEST(SceneGeometry, SphereTextureRunsRoundItAndFromPoleToPole)
{
    Mesh ball = sphere(1.0f, 6, 12, {2.0f, 1.0f});
    for (const FaceSpec& face : ball.faces) {
        for (const CornerSpec& corner : face.corners) {
            Vector3 v = ball.vertices[size_t(corner.vertex)];
            EXPECT_NEAR(corner.t, std::acos(std::clamp(v.z, -1.0f, 1.0f)) / Pi, 1e-4f);
            EXPECT_GE(corner.s, 0.0f);
            EXPECT_LE(corner.s, 2.0f);
        }
    }
}

TEST(SceneGeometry, WhiteLinesJoinOnlyTheirOwnEndpoints)
{
    std::vector<Vector3> endpoints;
    addCircle(endpoints, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, 2.0f, 5);
    Mesh lines = lineSegments(endpoints);
    ASSERT_EQ(endpoints.size(), 10u);
    // The player joins consecutive corners in pairs: the first ten are the segments, the
    // two padding corners add a segment of no length.
    std::vector<Vector3> corners;
    for (const FaceSpec& face : lines.faces)
        for (const CornerSpec& corner : face.corners)
            corners.push_back(lines.vertices[size_t(corner.vertex)]);
    ASSERT_EQ(corners.size(), 12u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(corners[i], endpoints[i]);
    EXPECT_EQ(corners[10], corners[11]);
    for (size_t i = 0; i < 10; i += 2)
        EXPECT_NEAR(length(corners[i + 1] - corners[i]), 2.0f * 2.0f * std::sin(Pi / 5), 1e-4f);
}

TEST(SceneGeometry, ShadingFacesTurnNormalsWithoutBeingDrawn)
{
    Mesh sprite = glowSprite(1.0f);
    size_t corners = sprite.vertices.size();
    shadeTowards(sprite, {});
    std::unique_ptr<Scene> scene = loaded(meshNode("glow", sprite, 0));
    const auto& node = static_cast<const MeshNode&>(*scene->children[0]);
    ASSERT_EQ(node.faceGroups.size(), 1);
    EXPECT_EQ(size_t(node.faceGroups[0]->faces.size()), sprite.faces.size());
    for (size_t i = 0; i < corners; ++i)
        EXPECT_GT(dot(node.normals[int(i)], normalised(sprite.vertices[i] * -1.0f)), 0.999f) << i;
}

TEST(SceneBuilding, TurnKeysTurnGeometryRightHanded)
{
    NodeSpec node = transformNode("turned");
    node.rotation = fixedTurn({0, 0, 1}, Pi / 2);
    std::unique_ptr<Scene> scene = loaded(node);
    Node& turned = *scene->children[0];
    turned.evaluate(0.0f, true);
    // The X axis goes to +Y.
    EXPECT_NEAR(turned.matrix[0], 0.0f, 1e-6f);
    EXPECT_NEAR(turned.matrix[1], 1.0f, 1e-6f);
    EXPECT_NEAR(turned.matrix[2], 0.0f, 1e-6f);
}

TEST(SceneBuilding, SteadySpinsTurnAtOnePaceAndLoop)
{
    NodeSpec node = transformNode("spinning");
    node.rotation = steadySpin({0, 0, 1}, 2, 240, 0, 240, 0.3f);
    std::unique_ptr<Scene> scene = loaded(node);
    RotationTrack& track = static_cast<TransformNode&>(*scene->children[0]).rotationTrack;
    EXPECT_LE(track.keys[0]->frame, 0);
    for (int frame = 0; frame <= 240; frame += 7) {
        float expected = std::remainder(0.3f + 4.0f * Pi * float(frame) / 240.0f, 2.0f * Pi);
        float error = std::remainder(angleAboutZ(track.evaluate(float(frame))) - expected, 2.0f * Pi);
        EXPECT_NEAR(error, 0.0f, 2e-3f) << "frame " << frame;
    }
}

TEST(SceneBuilding, BeatPulsesPeakOnTheBeatAndNeverSwingPast)
{
    NodeSpec camera = makeNode(NodeType::Camera, "camera");
    camera.roll = beatPulse(50.0f, 43.0f, {0, 4, 5, 8}, 14);
    std::unique_ptr<Scene> scene = loaded(camera);
    ScalarTrack& track = static_cast<CameraNode&>(*scene->children[0]).rollTrack;
    for (int b : {0, 4, 5, 8})
        EXPECT_FLOAT_EQ(track.evaluate(float(beat(b))), 43.0f) << "beat " << b;
    EXPECT_FLOAT_EQ(track.evaluate(float(beat(1))), 50.0f);
    EXPECT_FLOAT_EQ(track.evaluate(float(beat(8) + 14)), 50.0f);
    for (float frame = 0.0f; frame < float(beat(10)); frame += 0.5f) {
        float value = track.evaluate(frame);
        EXPECT_GE(value, 43.0f - 1e-4f) << frame;
        EXPECT_LE(value, 50.0f + 1e-4f) << frame;
    }
}

// A node of the scene's own kind is no record of the file: the writer leaves it out, with
// its subtree, and the nodes around it read back as written.
TEST(SceneBuilding, ASceneKindNodeIsLeftOutOfTheFile)
{
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Transform, "before"));
    NodeSpec stray = makeNode(NodeType::Scene, "stray");
    stray.children.push_back(makeNode(NodeType::Transform, "inside"));
    spec.nodes.push_back(stray);
    spec.nodes.push_back(makeNode(NodeType::Transform, "after"));
    const std::string bytes = writeScene(spec);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_TRUE(scene.reader);
    EXPECT_FALSE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), 2);
    EXPECT_EQ(scene.children[0]->name, "before");
    EXPECT_EQ(scene.children[1]->name, "after");
}

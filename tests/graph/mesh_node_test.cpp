// Mesh records: area-weighted normals, face groups, damaged indices and the morph track.
#include "graph/mesh_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

FaceSpec face(int32_t a, int32_t b, int32_t c)
{
    return {{{a, 0.0f, 0.0f}, {b, 1.0f, 0.0f}, {c, 0.0f, 1.0f}}};
}

MeshNode& loadMesh(Scene& scene, const NodeSpec& mesh)
{
    SceneSpec spec;
    spec.nodes.push_back(mesh);
    std::string bytes = writeScene(spec);
    scene.loadMemory(bytes.data(), bytes.size());
    EXPECT_FALSE(scene.reader->failed());
    return static_cast<MeshNode&>(*scene.children[0]);
}

void expectNear(const Vector3& v, const Vector3& expected)
{
    EXPECT_NEAR(v.x, expected.x, 1e-6f);
    EXPECT_NEAR(v.y, expected.y, 1e-6f);
    EXPECT_NEAR(v.z, expected.z, 1e-6f);
}

} // namespace

TEST(MeshNode, NormalsWeighFacesByAreaAndUnusedVerticesKeepZero)
{
    NodeSpec spec = makeNode(NodeType::Mesh, "m");
    spec.vertices = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {1, 0, 0}, {0, 0, 1}, {5, 5, 5}};
    spec.faces = {face(0, 1, 2),  // area 2, facing +z
                  face(0, 3, 4),  // area 0.5, facing -y, in no group
                  face(0, 1, 1)}; // no area: shapes nothing
    Scene scene;
    MeshNode& mesh = loadMesh(scene, spec);
    ASSERT_EQ(mesh.normals.size(), 6);
    const float l = std::sqrt(17.0f);
    expectNear(mesh.normals[0], {0, -1 / l, 4 / l});
    expectNear(mesh.normals[1], {0, 0, 1});
    expectNear(mesh.normals[3], {0, -1, 0});
    EXPECT_EQ(mesh.normals[5], Vector3()); // used by no face: zero, not NaN
}

TEST(MeshNode, GroupsCopyTheirFacesAndSkipBadIndicesAndDroppedFaces)
{
    NodeSpec spec = makeNode(NodeType::Mesh, "m");
    spec.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    spec.faces = {face(0, 1, 2), face(0, 2, 3), face(0, 1, 99), face(-1, 1, 2)};
    spec.groups = {{3, {1, 0, 7, -1, 2}}, {0, {0}}, {1, {}}};
    Scene scene;
    MeshNode& mesh = loadMesh(scene, spec);
    EXPECT_EQ(mesh.faceCount, 4);
    EXPECT_EQ(mesh.droppedFaces, 2);
    EXPECT_EQ(mesh.skippedFaceIndices, 3);
    ASSERT_EQ(mesh.faceGroups.size(), 3);
    const FaceGroup& first = *mesh.faceGroups[0];
    EXPECT_EQ(first.materialIndex, 3);
    ASSERT_EQ(first.faces.size(), 2);
    EXPECT_EQ(first.faces[0].corners[2].vertex, 3);
    EXPECT_EQ(first.faces[1].corners[2].vertex, 2);
    EXPECT_EQ(first.faces[1].corners[1].s, 1.0f);
    // A face named by two groups is copied into both.
    ASSERT_EQ(mesh.faceGroups[1]->faces.size(), 1);
    EXPECT_EQ(mesh.faceGroups[1]->faces[0].corners[1].vertex, 1);
    EXPECT_EQ(mesh.faceGroups[2]->faces.size(), 0);
    // The dropped faces shaped no normal: vertex 1 only sees the +z face.
    EXPECT_NEAR(mesh.normals[1].z, 1.0f, 1e-6f);
}

TEST(MeshNode, MorphTrackDrivesTheVerticesAtTheLastVisibleTime)
{
    NodeSpec spec = makeNode(NodeType::Mesh, "m");
    spec.vertices = {{0, 0, 0}, {1, 0, 0}};
    spec.faces = {face(0, 1, 1)};
    spec.visibility = {20, 30};
    spec.morph.keys = {{0, {{0, 0, 0}, {1, 0, 0}}}, {10, {{0, 10, 0}, {1, 10, 0}}}};
    Scene scene;
    MeshNode& mesh = loadMesh(scene, spec);
    ASSERT_TRUE(mesh.morphs());
    mesh.evaluate(5.0f, true);
    const Vector3Array& halfway = mesh.currentVertices();
    EXPECT_NEAR(halfway[1].y, 5.0f, 1e-5f);
    mesh.evaluate(25.0f, true); // hidden: the shape stays at frame 5
    EXPECT_NEAR(mesh.currentVertices()[1].y, 5.0f, 1e-5f);
    mesh.evaluate(40.0f, true);
    EXPECT_EQ(mesh.currentVertices()[0], Vector3(0, 10, 0));
    // Normals stay those of the static vertices.
    EXPECT_EQ(mesh.normals.size(), 2);
}

TEST(MeshNode, MorphKeysOfAnotherVertexCountLeaveTheMeshStatic)
{
    NodeSpec spec = makeNode(NodeType::Mesh, "m");
    spec.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    spec.morph.keys = {{0, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
                       {10, {{0, 10, 0}}},
                       {20, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {9, 9, 9}}}};
    Scene scene;
    MeshNode& mesh = loadMesh(scene, spec);
    EXPECT_EQ(mesh.morphTrack.keys.size(), 3);
    EXPECT_FALSE(mesh.morphs());
    mesh.evaluate(5.0f, true);
    EXPECT_EQ(&mesh.currentVertices(), &mesh.vertices);

    NodeSpec still = makeNode(NodeType::Mesh, "still");
    still.vertices = {{1, 2, 3}};
    Scene other;
    MeshNode& stillMesh = loadMesh(other, still);
    EXPECT_FALSE(stillMesh.morphs());
    EXPECT_EQ(&stillMesh.currentVertices(), &stillMesh.vertices);
}

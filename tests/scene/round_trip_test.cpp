// Scenes written by the writer load back with every node, track, key and material intact.
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

namespace {

template <typename Key, typename V>
void expectKeyParams(const Key& loaded, const KeySpec<V>& written)
{
    EXPECT_EQ(loaded.frame, written.frame);
    EXPECT_EQ(loaded.tension, written.tension);
    EXPECT_EQ(loaded.continuity, written.continuity);
    EXPECT_EQ(loaded.bias, written.bias);
    EXPECT_EQ(loaded.easeTo, written.easeTo);
    EXPECT_EQ(loaded.easeFrom, written.easeFrom);
    EXPECT_EQ(loaded.value, written.value);
}

template <typename Track, typename V>
void expectTrack(const Track& loaded, const TrackSpec<V>& written, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(loaded.headerWord, written.headerWord);
    ASSERT_EQ(loaded.keys.size(), static_cast<int>(written.keys.size()));
    for (int i = 0; i < loaded.keys.size(); ++i)
        expectKeyParams(*loaded.keys[i], written.keys[i]);
}

void expectVisibility(const Node& loaded, const NodeSpec& written)
{
    ASSERT_EQ(loaded.visibilityTrack.keys.size(), static_cast<int>(written.visibility.size()));
    for (int i = 0; i < loaded.visibilityTrack.keys.size(); ++i)
        EXPECT_EQ(loaded.visibilityTrack.keys[i]->frame, written.visibility[i]);
}

void expectMesh(const MeshNode& mesh, const NodeSpec& written)
{
    expectTrack(mesh.rotationTrack, written.rotation, "rotation");
    expectTrack(mesh.scaleTrack, written.scale, "scale");
    ASSERT_EQ(mesh.vertices.size(), static_cast<int>(written.vertices.size()));
    for (int i = 0; i < mesh.vertices.size(); ++i)
        EXPECT_EQ(mesh.vertices[i], written.vertices[i]);
    EXPECT_EQ(mesh.faceCount, static_cast<int>(written.faces.size()));
    ASSERT_EQ(mesh.faceGroups.size(), static_cast<int>(written.groups.size()));
    for (int g = 0; g < mesh.faceGroups.size(); ++g) {
        const FaceGroup& group = *mesh.faceGroups[g];
        EXPECT_EQ(group.materialIndex, written.groups[g].material);
        ASSERT_EQ(group.faces.size(), static_cast<int>(written.groups[g].faces.size()));
        for (int f = 0; f < group.faces.size(); ++f) {
            const FaceSpec& face = written.faces[written.groups[g].faces[f]];
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(group.faces[f].corners[c].vertex, face.corners[c].vertex);
                EXPECT_EQ(group.faces[f].corners[c].s, face.corners[c].s);
                EXPECT_EQ(group.faces[f].corners[c].t, face.corners[c].t);
            }
        }
    }
    const MorphTrack& morph = mesh.morphTrack;
    EXPECT_EQ(morph.headerWord, written.morph.headerWord);
    ASSERT_EQ(morph.keys.size(), static_cast<int>(written.morph.keys.size()));
    for (int k = 0; k < morph.keys.size(); ++k) {
        const MorphKey& key = morph.keys[k];
        const MorphKeySpec& spec = written.morph.keys[k];
        EXPECT_EQ(key.frame, spec.frame);
        EXPECT_EQ(key.tension, spec.tension);
        EXPECT_EQ(key.continuity, spec.continuity);
        EXPECT_EQ(key.bias, spec.bias);
        EXPECT_EQ(key.easeTo, spec.easeTo);
        EXPECT_EQ(key.easeFrom, spec.easeFrom);
        ASSERT_EQ(key.positions.size(), static_cast<int>(spec.positions.size()));
        for (int i = 0; i < key.positions.size(); ++i)
            EXPECT_EQ(key.positions[i], spec.positions[i]);
    }
}

void expectNode(const Node& loaded, const NodeSpec& written)
{
    SCOPED_TRACE(written.name);
    EXPECT_EQ(loaded.kind, written.type);
    EXPECT_EQ(loaded.name, written.name);
    expectTrack(loaded.positionTrack, written.position, "position");
    switch (loaded.kind) {
    case NodeKind::Mesh:
        expectVisibility(loaded, written);
        expectMesh(static_cast<const MeshNode&>(loaded), written);
        break;
    case NodeKind::Camera: {
        const auto& camera = static_cast<const CameraNode&>(loaded);
        expectTrack(camera.rollTrack, written.roll, "roll");
        expectTrack(camera.fovTrack, written.fov, "fov");
        expectVisibility(loaded, written);
        break;
    }
    case NodeKind::Spot: {
        const auto& spot = static_cast<const SpotNode&>(loaded);
        EXPECT_EQ(spot.colour, written.colour);
        expectTrack(spot.firstTrack, written.spotFirst, "first");
        expectTrack(spot.secondTrack, written.spotSecond, "second");
        expectVisibility(loaded, written);
        break;
    }
    case NodeKind::Light: {
        const auto& light = static_cast<const LightNode&>(loaded);
        EXPECT_EQ(light.colour, written.colour);
        expectTrack(light.rotationTrack, written.rotation, "rotation");
        expectTrack(light.scaleTrack, written.scale, "scale");
        expectVisibility(loaded, written);
        break;
    }
    case NodeKind::Transform: {
        const auto& transform = static_cast<const TransformNode&>(loaded);
        expectTrack(transform.rotationTrack, written.rotation, "rotation");
        expectTrack(transform.scaleTrack, written.scale, "scale");
        expectVisibility(loaded, written);
        break;
    }
    case NodeKind::Target:
    case NodeKind::Scene:
        break;
    }
    ASSERT_EQ(loaded.children.size(), static_cast<int>(written.children.size()));
    for (int i = 0; i < loaded.children.size(); ++i) {
        EXPECT_EQ(loaded.children[i]->parent, &loaded);
        expectNode(*loaded.children[i], written.children[i]);
    }
}

// Keys with distinct frames, values and parameters, so a field read into the wrong
// place shows.
template <typename V>
TrackSpec<V> track(int32_t header, std::vector<V> values)
{
    TrackSpec<V> t;
    t.headerWord = header;
    for (size_t i = 0; i < values.size(); ++i) {
        KeySpec<V> key;
        key.frame = static_cast<int32_t>(i * 7 + 1);
        key.value = values[i];
        key.tension = 0.1f * i;
        key.continuity = -0.2f * i;
        key.bias = 0.3f;
        key.easeTo = 0.4f + i;
        key.easeFrom = 0.5f - i;
        t.keys.push_back(key);
    }
    return t;
}

NodeSpec everyKind()
{
    NodeSpec mesh;
    mesh.type = NodeType::Mesh;
    mesh.name = "hull";
    mesh.position = track<Vector3>(11, {{1, 2, 3}, {4, 5, 6}, {-7, 8, 9}});
    mesh.rotation = track<Quaternion>(12, {{1, 0, 0, 0}, {0.7071068f, 0, 0.7071068f, 0}});
    mesh.scale = track<Vector3>(13, {{1, 1, 1}, {2, 3, 4}});
    mesh.visibility = {5, 15, 25};
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    mesh.faces.push_back({{{0, 0.0f, 0.5f}, {1, 1.0f, 0.25f}, {2, 0.5f, 1.0f}}});
    mesh.faces.push_back({{{0, 0.1f, 0.2f}, {2, 0.3f, 0.4f}, {3, 0.5f, 0.6f}}});
    mesh.faces.push_back({{{1, 0.7f, 0.8f}, {2, 0.9f, 0.1f}, {3, 0.2f, 0.3f}}});
    mesh.groups = {{0, {2, 0}}, {1, {1}}, {0, {}}};
    mesh.morph.headerWord = 14;
    for (int k = 0; k < 3; ++k) {
        MorphKeySpec key;
        key.frame = k * 10;
        key.tension = 0.25f * k;
        key.continuity = 0.1f;
        key.bias = -0.1f;
        key.easeTo = 1.5f;
        key.easeFrom = 2.5f;
        for (const Vector3& v : mesh.vertices)
            key.positions.push_back(v * (1.0f + k));
        mesh.morph.keys.push_back(key);
    }

    NodeSpec camera;
    camera.type = NodeType::Camera;
    camera.name = "cam";
    camera.position = track<Vector3>(21, {{0, -10, 2}});
    camera.roll = track<float>(22, {0.0f, 0.5f, -0.25f});
    camera.fov = track<float>(23, {0.6f, 0.7f});
    camera.visibility = {3};

    NodeSpec target;
    target.type = NodeType::Target;
    target.name = "cam";
    target.position = track<Vector3>(31, {{0, 0, 0}, {1, 1, 1}});

    NodeSpec spot;
    spot.type = NodeType::Spot;
    spot.name = "beam";
    spot.colour = {0.1f, 0.2f, 0.3f};
    spot.position = track<Vector3>(41, {{5, 5, 5}});
    spot.spotFirst = track<float>(42, {1, 2, 3, 4});
    spot.spotSecond = track<float>(43, {});

    NodeSpec light;
    light.type = NodeType::Light;
    light.name = "lamp";
    light.colour = {0.9f, 0.8f, 0.7f};
    light.position = track<Vector3>(51, {{10, 0, 0}});
    light.rotation = track<Quaternion>(52, {{1, 0, 0, 0}});
    light.scale = track<Vector3>(53, {{1, 1, 1}, {1, 2, 1}});
    light.visibility = {1, 2};

    NodeSpec transform;
    transform.type = NodeType::Transform;
    transform.name = "rig";
    transform.position = track<Vector3>(61, {{0, 5, 0}});
    transform.rotation = track<Quaternion>(62, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}});
    transform.scale = track<Vector3>(63, {{2, 2, 2}});

    camera.add(target);
    transform.add(mesh);
    transform.add(camera);
    transform.add(spot);
    transform.children.push_back(light);
    transform.children.back().add(makeNode(NodeType::Transform, "leaf"));
    return transform;
}

} // namespace

TEST(RoundTrip, EveryNodeKindAndTrackKindLoadsBackIdentical)
{
    SceneSpec spec;
    spec.headerA = 0x12345678;
    spec.headerB = -5;
    spec.spareWord = 99;
    spec.nodes.push_back(everyKind());
    spec.nodes.push_back(makeNode(NodeType::Mesh, "empty"));
    MaterialSpec material;
    material.name = "Skin";
    for (int k = 0; k < 11; ++k)
        material.maps[k] = {0.1f * (k + 1), "Maps\\File" + std::to_string(k) + ".BMP"};
    spec.materials.push_back(material);
    spec.materials.push_back(MaterialSpec{});

    std::string bytes = writeScene(spec);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());
    EXPECT_EQ(scene.reader->offset(), bytes.size());
    EXPECT_EQ(scene.headerA, spec.headerA);
    EXPECT_EQ(scene.headerB, spec.headerB);
    EXPECT_EQ(scene.lightCount, 1);
    ASSERT_EQ(scene.children.size(), 2);
    expectNode(*scene.children[0], spec.nodes[0]);
    expectNode(*scene.children[1], spec.nodes[1]);

    ASSERT_EQ(scene.materials.size(), 2);
    const Material& loaded = *scene.materials[0];
    EXPECT_EQ(loaded.name, "Skin");
    for (int k = 0; k < 11; ++k) {
        EXPECT_EQ(loaded.maps[k].amount, material.maps[k].amount);
        EXPECT_EQ(loaded.maps[k].mapFile, material.maps[k].file);
    }
    EXPECT_EQ(scene.materials[1]->name, "");
    EXPECT_EQ(scene.materials[1]->renderModeKind(), 1);
}

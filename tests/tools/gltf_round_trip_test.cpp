// A scene exported to glTF and imported back: what glTF holds travels as glTF, the rest in
// the exporter's extras, and the player reads the imported scene as it read the first.
// Also the importer's handling of lines, shared vertices and normals in any glTF.
#include "gltf_export.h"
#include "gltf_files.h"
#include "gltf_import.h"

#include "graph/camera_node.h"
#include "graph/mesh_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const NodeSpec* findNode(const std::vector<NodeSpec>& nodes, const std::string& name)
{
    for (const NodeSpec& node : nodes) {
        if (node.name == name)
            return &node;
        if (const NodeSpec* found = findNode(node.children, name))
            return found;
    }
    return nullptr;
}

Node* findPlayerNode(Node& node, const std::string& name)
{
    for (std::unique_ptr<Node>& child : node.children) {
        if (child->name == name)
            return child.get();
        if (Node* found = findPlayerNode(*child, name))
            return found;
    }
    return nullptr;
}

const MaterialSpec* findMaterial(const SceneSpec& scene, const std::string& name)
{
    for (const MaterialSpec& material : scene.materials)
        if (material.name == name)
            return &material;
    return nullptr;
}

// A scene of what glTF has no place for: a sphere-mapped group (its triangles turned in
// the glTF), lines, a group of no faces, a face that only shapes the normals, a mesh of
// no faces at all, a hiding mesh, a light brighter than white and an animated field of
// view with tension.
SceneSpec extrasScene()
{
    SceneSpec spec;
    NodeSpec quad = makeNode(NodeType::Mesh, "quad");
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}, {2, 0, 0}, {0, 0, 1}};
    quad.faces = {{{{0, 0, 0}, {1, 1, 0}, {2, 1, 1}}},
                  {{{0, 0, 0}, {2, 1, 1}, {3, 0, 1}}},
                  {{{4, 0, 0}, {5, 0, 0}, {6, 0, 0}}},
                  // Outside every group: leans vertex 0's normal over towards +Y.
                  {{{0, 0, 0}, {6, 0, 0}, {5, 0, 0}}}};
    quad.groups = {{0, {0, 1}}, {1, {2}}, {2, {}}};
    spec.nodes.push_back(quad);

    NodeSpec reset = makeNode(NodeType::Mesh, "reset");
    reset.groups = {{2, {}}, {1, {}}};
    spec.nodes.push_back(reset);

    NodeSpec blink = makeNode(NodeType::Mesh, "blink", {0, 0, 2});
    blink.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    blink.faces = {{{{0, 0, 0}, {1, 1, 0}, {2, 0, 1}}}};
    blink.groups = {{2, {0}}};
    blink.visibility = {5, 12};
    blink.position.keys.push_back({20, {3, 0, 2}});
    spec.nodes.push_back(blink);

    NodeSpec lamp = makeNode(NodeType::Light, "lamp", {1, 2, 3});
    lamp.colour = {2.0f, 1.0f, -0.25f};
    spec.nodes.push_back(lamp);

    NodeSpec camera = makeNode(NodeType::Camera, "cam", {0, -10, 2});
    camera.fov.keys = {{0, 0.2f}, {10, 0.3f, 0.5f, -0.25f, 0.125f}, {20, 0.25f}};
    spec.nodes.push_back(camera);
    spec.nodes.push_back(makeNode(NodeType::Target, "cam", {0, 0, 0}));

    MaterialSpec chrome;
    chrome.name = "chrome";
    chrome.maps[9] = {1.0f, "chrome.jpg"};
    MaterialSpec lines;
    lines.name = "lines";
    MaterialSpec glow;
    glow.name = "glow";
    glow.maps[1] = {0.5f, "glow.png"};
    spec.materials = {chrome, lines, glow};
    return spec;
}

// The imported show of a scene exported to a temporary .glb.
bool roundTrip(const SceneSpec& spec, ImportedShow& show, std::string& error)
{
    const fs::path dir = fs::temp_directory_path() / ("taldrex-round-trip-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string scenePath = (dir / "trip.scn").string();
    const std::string glb = (dir / "trip.glb").string();
    bool done = saveScene(spec, scenePath);
    Scene scene;
    done = done && scene.loadFile(scenePath.c_str()) == 0;
    GltfExportSummary summary;
    done = done && ExportGltf(scene, glb, GltfExportOptions(), summary, error);
    ImportOptions options;
    options.name = "trip";
    done = done && importGltfFile(glb, options, show, error);
    fs::remove_all(dir);
    return done;
}

// The scene of an import as the player reads it.
std::unique_ptr<Scene> played(const ImportedShow& show)
{
    const std::string bytes = writeScene(show.scene);
    auto scene = std::make_unique<Scene>();
    scene->loadMemory(bytes.data(), bytes.size());
    return scene;
}

TEST(GltfRoundTrip, WhatGltfCannotHoldComesBackFromTheExtras)
{
    const SceneSpec original = extrasScene();
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(roundTrip(original, show, error)) << error;

    bool told = false;
    for (const std::string& note : show.notes)
        told = told || note.find("written by taldrex-scene export") != std::string::npos;
    EXPECT_TRUE(told);

    // The maps as the player had them: no picture found, so the file names stay, and no
    // stand-in texture turns the sphere map into a textured surface.
    const MaterialSpec* chrome = findMaterial(show.scene, "chrome");
    const MaterialSpec* glow = findMaterial(show.scene, "glow");
    const MaterialSpec* lines = findMaterial(show.scene, "lines");
    ASSERT_TRUE(chrome && glow && lines);
    EXPECT_EQ(chrome->maps[9].file, "chrome.jpg");
    EXPECT_FLOAT_EQ(chrome->maps[9].amount, 1.0f);
    EXPECT_EQ(chrome->maps[1].amount, 0.0f);
    EXPECT_EQ(glow->maps[1].file, "glow.png");
    EXPECT_FLOAT_EQ(glow->maps[1].amount, 0.5f);
    for (const MaterialMapSpec& map : lines->maps)
        EXPECT_EQ(map.amount, 0.0f);

    // The groups in order, the empty one too, each with its own material.
    const NodeSpec* quad = findNode(show.scene.nodes, "quad");
    ASSERT_NE(quad, nullptr);
    ASSERT_EQ(quad->type, NodeType::Mesh);
    ASSERT_EQ(quad->groups.size(), 3u);
    auto materialOf = [&](const GroupSpec& group) { return show.scene.materials[size_t(group.material)].name; };
    EXPECT_EQ(materialOf(quad->groups[0]), "chrome");
    EXPECT_EQ(quad->groups[0].faces.size(), 2u);
    EXPECT_EQ(materialOf(quad->groups[1]), "lines");
    EXPECT_EQ(materialOf(quad->groups[2]), "glow");
    EXPECT_TRUE(quad->groups[2].faces.empty());
    const NodeSpec* reset = findNode(show.scene.nodes, "reset");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->type, NodeType::Mesh);
    EXPECT_TRUE(reset->vertices.empty());
    ASSERT_EQ(reset->groups.size(), 2u);
    EXPECT_EQ(materialOf(reset->groups[0]), "glow");
    EXPECT_EQ(materialOf(reset->groups[1]), "lines");

    // The sphere-mapped triangles face the way they did: same corners in the same turn.
    const FaceSpec& first = quad->faces[size_t(quad->groups[0].faces[0])];
    EXPECT_EQ(quad->vertices[size_t(first.corners[1].vertex)], Vector3(1, 0, 0));
    EXPECT_EQ(quad->vertices[size_t(first.corners[2].vertex)], Vector3(1, 1, 0));

    // The player's normals, the leaning one included, come out as before.
    const std::string originalBytes = writeScene(original);
    Scene before;
    before.loadMemory(originalBytes.data(), originalBytes.size());
    std::unique_ptr<Scene> after = played(show);
    auto* meshBefore = static_cast<MeshNode*>(findPlayerNode(before, "quad"));
    auto* meshAfter = static_cast<MeshNode*>(findPlayerNode(*after, "quad"));
    ASSERT_TRUE(meshBefore && meshAfter);
    for (int v = 0; v < 4; ++v) {
        for (int a = 0; a < meshAfter->vertices.size(); ++a) {
            if (meshAfter->vertices[a] == meshBefore->vertices[v] && meshAfter->normals[a] != Vector3()) {
                EXPECT_NEAR(dot(meshAfter->normals[a], meshBefore->normals[v]), 1.0f, 1e-5f) << "vertex " << v;
            }
        }
    }

    // Hidden from frame 5 to 12, as a visibility track on the geometry's node.
    const NodeSpec* blink = findNode(show.scene.nodes, GltfNames::shown("blink"));
    ASSERT_NE(blink, nullptr);
    EXPECT_EQ(blink->visibility, (std::vector<int32_t>{5, 12}));
    EXPECT_EQ(blink->scale.keys.size(), 1u);

    // The light's colour as it was; the field of view as its own keys.
    const NodeSpec* lamp = findNode(show.scene.nodes, "lamp");
    ASSERT_NE(lamp, nullptr);
    const NodeSpec* light = lamp->type == NodeType::Light ? lamp : findNode(lamp->children, "lamp");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->colour, Vector3(2.0f, 1.0f, -0.25f));
    const NodeSpec* cam = findNode(show.scene.nodes, "cam");
    ASSERT_NE(cam, nullptr);
    ASSERT_EQ(cam->fov.keys.size(), 3u);
    const KeySpec<float>& key = cam->fov.keys[1];
    EXPECT_EQ(key.frame, 10);
    EXPECT_FLOAT_EQ(key.value, 0.3f);
    EXPECT_FLOAT_EQ(key.tension, 0.5f);
    EXPECT_FLOAT_EQ(key.continuity, -0.25f);
    EXPECT_FLOAT_EQ(key.bias, 0.125f);
    auto* camera = static_cast<CameraNode*>(findPlayerNode(*after, "cam"));
    ASSERT_NE(camera, nullptr);
    auto* originalCamera = static_cast<CameraNode*>(findPlayerNode(before, "cam"));
    for (float t : {0.0f, 4.5f, 10.25f, 17.0f})
        EXPECT_NEAR(camera->fieldOfViewDegrees(t), originalCamera->fieldOfViewDegrees(t), 1e-4) << "frame " << t;
}

// A primitive of each kind of lines over the vertices 0 to 4.
std::string linesModel()
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 2, 0}, "VEC3");
    g.indices({0, 1, 2, 3});
    g.floats({0, 0, 0, 2, 0, 0, 2, 2, 0}, "VEC3");
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":1},"
                       "{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":3},"
                       "{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":2},"
                       "{\"attributes\":{\"POSITION\":2}}]}");
    g.nodes.push_back("{\"name\":\"Wire\",\"mesh\":0}");
    return g.text();
}

TEST(GltfImport, LinesBecomePlainGroupsWhoseCornersPairUpAsTheSegments)
{
    const std::string text = linesModel();
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "w.gltf", {},
                                 show, error)) << error;
    const NodeSpec* wire = findNode(show.scene.nodes, "wire");
    ASSERT_NE(wire, nullptr);
    ASSERT_EQ(wire->groups.size(), 4u);
    // The corners of a group's faces, two by two, as the player joins them.
    auto segments = [&](const GroupSpec& group) {
        std::vector<std::pair<Vector3, Vector3>> out;
        std::vector<Vector3> corners;
        for (int f : group.faces)
            for (const CornerSpec& corner : wire->faces[size_t(f)].corners)
                corners.push_back(wire->vertices[size_t(corner.vertex)]);
        for (size_t i = 0; i + 1 < corners.size(); i += 2)
            if (!(corners[i] == corners[i + 1]))
                out.push_back({corners[i], corners[i + 1]});
        return out;
    };
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(1, 0, 1), d(0, 0, 1);
    using Segments = std::vector<std::pair<Vector3, Vector3>>;
    EXPECT_EQ(segments(wire->groups[0]), (Segments{{a, b}, {c, d}}));
    EXPECT_EQ(segments(wire->groups[1]), (Segments{{a, b}, {b, c}, {c, d}}));
    EXPECT_EQ(segments(wire->groups[2]), (Segments{{a, b}, {b, c}, {c, d}, {d, a}}));
    // Lines are drawn by a material of no maps; the triangle keeps its own.
    const MaterialSpec& plain = show.scene.materials[size_t(wire->groups[0].material)];
    for (const MaterialMapSpec& map : plain.maps)
        EXPECT_EQ(map.amount, 0.0f);
    EXPECT_GT(show.scene.materials[size_t(wire->groups[3].material)].maps[1].amount, 0.0f);
    bool warned = false;
    for (const std::string& warning : show.warnings)
        warned = warned || warning.find("lines are drawn in the colour of the texture") != std::string::npos;
    EXPECT_TRUE(warned);
}

// Two triangles in two primitives along one edge; the shared corners have the same normal,
// the others a normal of their own leaning away from the faces'.
std::string seamModel(bool normals)
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    g.floats({1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
    const float lean = 0.6f, up = 0.8f;
    g.floats({lean, 0, up, 0, 0, 1, 0, 0, 1}, "VEC3");
    g.floats({0, 0, 1, 0, lean, up, 0, 0, 1}, "VEC3");
    const std::string n0 = normals ? ",\"NORMAL\":2" : "", n1 = normals ? ",\"NORMAL\":3" : "";
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0" + n0 + "}},{\"attributes\":{\"POSITION\":1" +
                       n1 + "}}]}");
    g.nodes.push_back("{\"name\":\"Seam\",\"mesh\":0}");
    return g.text();
}

TEST(GltfImport, VerticesAlikeInEverythingAreJoinedAndTheModelsNormalsAreKept)
{
    for (bool normals : {true, false}) {
        const std::string text = seamModel(normals);
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "s.gltf",
                                     {}, show, error)) << error;
        const NodeSpec* seam = findNode(show.scene.nodes, "seam");
        ASSERT_NE(seam, nullptr);
        if (!normals) {
            // Without normals glTF draws each triangle flat: nothing is joined or added.
            EXPECT_EQ(seam->vertices.size(), 6u);
            EXPECT_EQ(seam->faces.size(), 2u);
            continue;
        }
        std::unique_ptr<Scene> scene = played(show);
        auto* mesh = static_cast<MeshNode*>(findPlayerNode(*scene, "seam"));
        ASSERT_NE(mesh, nullptr);
        // Four places; the two leaning corners each bring a shaping face of two vertices.
        EXPECT_EQ(seam->faces.size(), 4u);
        EXPECT_EQ(mesh->vertices.size(), 8);
        // glTF (x, y, z) is the player's (x, -z, y): the faces' normal is the player's -Y.
        auto normalAt = [&](const Vector3& at) {
            for (int v = 0; v < 4; ++v)
                if (mesh->vertices[v] == at)
                    return mesh->normals[v];
            return Vector3();
        };
        const Vector3 flat(0, -1, 0);
        EXPECT_NEAR(dot(normalAt({1, 0, 0}), flat), 1.0f, 1e-6f);
        EXPECT_NEAR(dot(normalAt({0, 0, 1}), flat), 1.0f, 1e-6f);
        EXPECT_NEAR(dot(normalAt({0, 0, 0}), Vector3(0.6f, -0.8f, 0)), 1.0f, 1e-5f);
        EXPECT_NEAR(dot(normalAt({1, 0, 1}), Vector3(0, -0.8f, 0.6f)), 1.0f, 1e-5f);
        // The shaping faces belong to no group: the groups hold the two triangles.
        EXPECT_EQ(seam->groups[0].faces.size() + seam->groups[1].faces.size(), 2u);
    }
}

} // namespace

#include "sample_scenes.h"

#include <cmath>

namespace {

// A flat grid of side x side quads (two triangles each) in the z = 0 plane, one group.
void addGrid(NodeSpec& mesh, int side, int32_t material)
{
    int32_t first = static_cast<int32_t>(mesh.vertices.size());
    int32_t firstFace = static_cast<int32_t>(mesh.faces.size());
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x)
            mesh.vertices.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
    GroupSpec group;
    group.material = material;
    auto at = [&](int x, int y) { return first + y * (side + 1) + x; };
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            float s = static_cast<float>(x) / side;
            float t = static_cast<float>(y) / side;
            float d = 1.0f / side;
            mesh.faces.push_back({{{at(x, y), s, t}, {at(x + 1, y), s + d, t}, {at(x + 1, y + 1), s + d, t + d}}});
            mesh.faces.push_back({{{at(x, y), s, t}, {at(x + 1, y + 1), s + d, t + d}, {at(x, y + 1), s, t + d}}});
            group.faces.push_back(firstFace++);
            group.faces.push_back(firstFace++);
        }
    mesh.groups.push_back(group);
}

NodeSpec triangle(const std::string& name, int32_t material)
{
    NodeSpec mesh = makeNode(NodeType::Mesh, name);
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{{{0, 0, 0}, {1, 1, 0}, {2, 0, 1}}}};
    mesh.groups = {{material, {0}}};
    return mesh;
}

MaterialSpec material(const std::string& name, std::initializer_list<std::pair<int, float>> slots)
{
    MaterialSpec spec;
    spec.name = name;
    for (const auto& [slot, amount] : slots) {
        spec.maps[slot].amount = amount;
        spec.maps[slot].file = "C:\\Maps\\" + name + (slot == EnvironmentMapSlot ? "_env.BMP" : ".jpg");
    }
    return spec;
}

} // namespace

SceneSpec sampleScene(int gridSide)
{
    SceneSpec scene;
    scene.headerA = 3;
    scene.headerB = 7;
    scene.spareWord = 11;

    NodeSpec rig = makeNode(NodeType::Transform, "Rig");
    rig.position.keys = {{0, {0, 0, 0}, 0.2f, -0.3f, 0.1f, 0.5f, 0.5f},
                         {30, {4, 1, -2}, -0.5f, 0.4f, -0.2f},
                         {30, {4, 2, -2}}, // two keys on one frame
                         {90, {-3, 0, 5}, 0.0f, 1.0f, 1.0f}};
    rig.rotation.keys = {{0, {1, 0, 0, 0}},
                         {20, {0.7071068f, 0, 0.7071068f, 0}, 0.3f, 0.2f, -0.4f},
                         {40, {0.7071068f, 0, 0.7071068f, 0}}, // held still
                         {80, {0, 0, 0, 1}, -0.2f, -1.0f, 0.6f}};
    rig.scale.keys = {{0, {1, 1, 1}}, {45, {2, 0.5f, 1}}, {90, {1, 1, 1}}};
    rig.visibility = {10, 20, 60};

    NodeSpec blob = triangle("Blob", 1);
    blob.vertices.push_back({1, 1, 0});
    blob.faces.push_back({{{1, 1, 0}, {3, 1, 1}, {2, 0, 1}}});
    blob.groups.push_back({2, {1, 0}});
    for (int k = 0; k < 4; ++k) {
        MorphKeySpec key;
        key.frame = k * 15;
        key.tension = 0.1f * k;
        key.continuity = -0.2f;
        key.bias = 0.3f;
        float f = static_cast<float>(k);
        key.positions = {{0, 0, f}, {1 + f, 0, 0}, {0, 1 + f, 0}, {1, 1, std::sin(f)}};
        blob.morph.keys.push_back(key);
    }
    blob.visibility = {5};
    rig.add(blob);
    if (gridSide > 0) {
        NodeSpec floor = makeNode(NodeType::Mesh, "Floor");
        addGrid(floor, gridSide, 3);
        rig.add(floor);
    }
    scene.nodes.push_back(rig);

    NodeSpec camera = makeNode(NodeType::Camera, "Camera01");
    camera.position.keys = {{0, {0, -10, 3}}, {50, {5, -8, 3}, 0.5f}, {100, {0, -10, 6}}};
    camera.roll.keys = {{0, 0.0f}, {100, 0.3f}};
    camera.fov.keys = {{0, 0.5f}, {50, 0.8f}, {100, 0.6f}};
    camera.visibility = {200};
    scene.nodes.push_back(camera);
    NodeSpec cameraTarget = makeNode(NodeType::Target, "Camera01");
    cameraTarget.position.keys = {{0, {0, 0, 0}}, {100, {1, 1, 0}}};
    cameraTarget.add(triangle("Under target", 0));
    scene.nodes.push_back(cameraTarget);

    NodeSpec lamp = makeNode(NodeType::Light, "Lamp");
    lamp.colour = {1.0f, 0.8f, 0.6f};
    lamp.position.keys = {{0, {10, 0, 10}}, {60, {-10, 0, 10}}};
    lamp.visibility = {30, 40};
    scene.nodes.push_back(lamp);

    NodeSpec spot = makeNode(NodeType::Spot, "Spot01");
    spot.colour = {0.2f, 0.4f, 1.0f};
    spot.spotFirst.keys = {{0, 10.0f}, {40, 20.0f}, {80, 15.0f}};
    spot.spotSecond.keys = {{0, 30.0f}, {80, 35.0f}};
    spot.visibility = {15};
    scene.nodes.push_back(spot);
    scene.nodes.push_back(makeNode(NodeType::Target, "Spot01"));

    scene.materials.push_back(material("Plain", {}));
    scene.materials.push_back(material("Surface", {{1, 1.0f}, {0, 0.5f}, {10, 1.0f}}));
    scene.materials.push_back(material("Glass", {{1, 0.5f}, {9, 0.7f}}));
    scene.materials.push_back(material("Chrome", {{9, 1.0f}}));
    scene.materials.push_back(material("Odd", {{8, 1.0f}, {1, -1.0f}}));
    scene.materials.push_back(material(std::string(400, 'M'), {{1, 1.0f}}));
    return scene;
}

SceneSpec minimalScene()
{
    SceneSpec scene;
    scene.nodes.push_back(makeNode(NodeType::Camera, "cam", {0, -5, 0}));
    scene.nodes.push_back(makeNode(NodeType::Target, "cam"));
    scene.nodes.push_back(triangle("tri", 0));
    scene.materials.push_back(material("Flat", {{1, 1.0f}}));
    return scene;
}

SceneSpec nestedScene(int depth)
{
    SceneSpec scene;
    NodeSpec bottom = triangle("bottom", 0);
    for (int level = depth; level > 0; --level) {
        NodeSpec parent = makeNode(NodeType::Transform, "level" + std::to_string(level));
        parent.position.keys.push_back({10, {1, 0, 0}});
        parent.add(std::move(bottom));
        bottom = std::move(parent);
    }
    scene.nodes.push_back(std::move(bottom));
    scene.materials.push_back(material("Flat", {}));
    return scene;
}

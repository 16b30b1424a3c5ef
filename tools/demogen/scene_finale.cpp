// The close: a white-line globe with a chrome ring and drifting sparks, low in a corner
// below the credits and the last words. It loops every two bars.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

#include <cmath>

using namespace scenes;

namespace {

enum Material { Chrome, Lines, Glow };

constexpr int Loop = bar(2);
constexpr int Meridians = 12;
constexpr int Parallels = 5;
constexpr int Sparks = 10;
const Vector3 PlanetAt{10.8f, 4.0f, -4.4f};

Mesh wireGlobe(float radius)
{
    std::vector<Vector3> endpoints;
    for (int i = 0; i < Meridians; ++i) {
        float angle = Pi * float(i) / float(Meridians);
        addCircle(endpoints, {}, {std::cos(angle), std::sin(angle), 0.0f}, {0, 0, 1}, radius, 48);
    }
    for (int i = 1; i <= Parallels; ++i) {
        float polar = Pi * float(i) / float(Parallels + 1);
        addCircle(endpoints, {0, 0, radius * std::cos(polar)}, {1, 0, 0}, {0, 1, 0},
                  radius * std::sin(polar), 48);
    }
    return lineSegments(endpoints);
}

} // namespace

SceneSpec finaleScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), whiteLines("lines"), textured("glow", show::GlowTexture, 0.5f)};
    NodeSpec stage = stageNode("finale_stage");

    // A ringed planet low in the corner, clear of the lettering in the middle.
    NodeSpec& planet = stage.add(transformNode("planet", PlanetAt));
    planet.rotation = fixedTurn(normalised({1.0f, 0.4f, 0.0f}), -0.35f);

    // The ring sways a little each way over the loop.
    NodeSpec& ring = planet.add(meshNode("ring", torus(5.0f, 0.16f, 96, 12), Chrome));
    ring.rotation = swing({1, 0, 0}, 0.08f, Loop, 0, Loop);

    // The globe turns a quarter turn per loop: three meridian spacings.
    NodeSpec& globe = planet.add(meshNode("globe", wireGlobe(3.0f), Lines));
    globe.rotation = steadySpin({0, 0, 1}, 1, 4 * Loop, 0, Loop);

    // Ten sparks, high and low by turns, a fifth of a turn per loop: each lands where the
    // spark two places on started.
    NodeSpec& drift = planet.add(transformNode("drift"));
    drift.rotation = steadySpin({0, 0, 1}, -1, Sparks / 2 * Loop, 0, Loop);
    for (int i = 0; i < Sparks; ++i) {
        float angle = 2.0f * Pi * float(i) / float(Sparks);
        Vector3 at{6.4f * std::cos(angle), 6.4f * std::sin(angle), i % 2 ? 0.5f : -0.5f};
        // Turned to face along the drift, like every other spark.
        NodeSpec& spark = drift.add(meshNode("spark " + std::to_string(i + 1), glowSprite(0.45f), Glow, at));
        spark.rotation = fixedTurn({0, 0, 1}, angle);
    }
    scene.nodes.push_back(stage);

    // Drifting to one side and back over the loop.
    CameraMove camera;
    camera.name = "finale_cam";
    for (int k = -1; k <= 3; ++k) {
        float side = k % 2 ? 1.0f : -1.0f;
        camera.eye.push_back({k * Loop / 2, {0.6f * side, -20.0f + 0.4f * side, 1.2f + 0.3f * side}});
    }
    camera.target = {{0, {0.0f, 0.0f, 0.0f}}};
    camera.fovDegrees = {{0, 44.0f}};
    addCamera(scene.nodes, camera);
    scene.nodes.push_back(overlayReset(Glow, Lines));
    return scene;
}

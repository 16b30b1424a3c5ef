// The opening: a chrome gyroscope turning slowly in the sky above the sunset, the title
// below it. From the second bar a ring of lights comes on, one light a beat.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

#include <cmath>

using namespace scenes;

namespace {

enum Material { Chrome, GradientChrome, MarbleChrome, Glow, Lines };

constexpr int Length = bar(4);
const Vector3 Centre{0.0f, 0.0f, 3.9f};
constexpr int Lights = 12;

// A ring standing upright, facing the camera down the Y axis.
Mesh uprightRing(float radius, float tube)
{
    Mesh ring = torus(radius, tube, 72, 16);
    turnMesh(ring, {1, 0, 0}, Pi / 2);
    return ring;
}

} // namespace

SceneSpec introScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), texturedChrome("gradient chrome", show::GradientTexture),
                       texturedChrome("marble chrome", show::MarbleTexture),
                       textured("glow", show::GlowTexture, 0.5f), whiteLines("lines")};

    NodeSpec stage = stageNode("intro_stage");

    // The gyroscope: an outer ring turning about the vertical, an inner ring tumbling
    // inside it, and a marbled core spinning the other way.
    NodeSpec& gyro = stage.add(transformNode("gyroscope", Centre));
    gyro.rotation = steadySpin({0, 0, 1}, 1, 4 * Length, 0, Length, -0.6f);
    gyro.add(meshNode("outer ring", uprightRing(2.4f, 0.3f), Chrome));
    NodeSpec& gimbal = gyro.add(transformNode("gimbal"));
    gimbal.rotation = steadySpin({1, 0, 0}, 1, Length, 0, Length);
    gimbal.add(meshNode("inner ring", uprightRing(1.8f, 0.2f), GradientChrome));
    NodeSpec& core = gimbal.add(meshNode("core", sphere(0.95f, 20, 40, {2, 1}), MarbleChrome));
    core.rotation = steadySpin({0, 0, 1}, -2, Length, 0, Length);

    // The lights: one more on every beat from the second bar, circling the gyroscope.
    NodeSpec& halo = stage.add(transformNode("halo", Centre));
    halo.rotation = steadySpin({0, 1, 0}, 1, 4 * Length, 0, Length);
    for (int i = 0; i < Lights; ++i) {
        float angle = 2.0f * Pi * float(i) / float(Lights) + Pi / 2;
        Vector3 at{3.1f * std::cos(angle), 0.0f, 3.1f * std::sin(angle)};
        NodeSpec& light = halo.add(meshNode("light " + std::to_string(i + 1), glowSprite(0.85f), Glow, at));
        popIn(light, beat(4 + i));
    }
    scene.nodes.push_back(stage);

    CameraMove camera;
    camera.name = "intro_cam";
    camera.eye = {{0, {-2.5f, -22.0f, 1.8f}}, {Length, {1.5f, -21.0f, 2.0f}}};
    camera.target = {{0, {0.0f, 0.0f, 0.9f}}};
    camera.fovDegrees = {{0, 50.0f}, {Length, 46.0f}};
    addCamera(scene.nodes, camera);
    scene.nodes.push_back(overlayReset(Glow, Lines));
    return scene;
}

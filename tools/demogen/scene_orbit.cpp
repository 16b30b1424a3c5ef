// A little solar system: a banded sun lit from within, a planet with its moon on a tilted
// orbit, a ringed planet going the other way, and a belt of tumbling rocks. Everything
// turns a whole number of times in four bars, so the scene loops on the bar line; the sun
// and its corona beat with the kick.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

#include <cmath>

using namespace scenes;

namespace {

enum Material { Chrome, MarbleChrome, Checker, Gradient, Glow, Stripes, Lines };

constexpr int Loop = bar(4);
constexpr int Rocks = 16;

} // namespace

SceneSpec orbitScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), texturedChrome("marble chrome", show::MarbleTexture),
                       textured("checker", show::CheckerTexture), textured("gradient", show::GradientTexture),
                       textured("glow", show::GlowTexture, 0.5f),
                       textured("stripes", show::StripesTexture, 0.5f), whiteLines("lines")};
    const std::vector<int> everyBeat = beatsFrom(0, Loop / show::FramesPerBeat + 1);

    NodeSpec stage = stageNode("orbit_stage");

    // The near planet and its chrome moon, on an orbit tilted towards the camera. The
    // moon is the first surface of the tree, as a sphere-mapped one has to be (meshNode).
    NodeSpec& tiltA = stage.add(transformNode("near orbit"));
    tiltA.rotation = fixedTurn({1, 0, 0}, 0.2f);
    NodeSpec& yearA = tiltA.add(transformNode("near year"));
    yearA.rotation = steadySpin({0, 0, 1}, 1, Loop, 0, Loop);
    NodeSpec& month = yearA.add(transformNode("month", {5.2f, 0, 0}));
    month.rotation = steadySpin({0, 0, 1}, 3, Loop, 0, Loop);
    month.add(meshNode("moon", sphere(0.3f, 12, 24), Chrome, {1.7f, 0, 0}));
    NodeSpec& planet = yearA.add(meshNode("planet", sphere(1.0f, 24, 48, {2, 1}), MarbleChrome, {5.2f, 0, 0}));
    planet.rotation = steadySpin({0, 0, 1}, 2, Loop, 0, Loop);

    // The sun is a shell lit by the light at its centre: its normals point inwards, so
    // the whole disc takes the light, which is brighter than white to show the bands of
    // the texture at full strength. Its corona faces the cameras.
    Mesh sunShell = sphere(1.7f, 24, 48);
    turnInsideOut(sunShell);
    NodeSpec& sun = stage.add(meshNode("sun", sunShell, Gradient, {}, Facing::AsBuilt));
    sun.scale = beatPulse(meshScale(1.0f, Facing::AsBuilt), meshScale(1.06f, Facing::AsBuilt), everyBeat, 10);
    stage.add(lightNode("sunlight", palette::Gold * 1.25f, {}));
    Mesh corona = glowCard(4.2f);
    turnMesh(corona, {1, 0, 0}, -0.25f);
    shadeTowards(corona, {});
    NodeSpec& glow = stage.add(meshNode("corona", corona, Glow));
    glow.scale = beatPulse(meshScale(1.0f), meshScale(1.15f), everyBeat, 12);

    // The far planet with its translucent rings, going round the other way.
    NodeSpec& tiltB = stage.add(transformNode("far orbit"));
    tiltB.rotation = fixedTurn({0, 1, 0}, -0.15f);
    NodeSpec& yearB = tiltB.add(transformNode("far year"));
    yearB.rotation = steadySpin({0, 0, 1}, -1, Loop, 0, Loop, Pi);
    NodeSpec& ringed = yearB.add(transformNode("ringed planet", {8.6f, 0, 0}));
    ringed.rotation = fixedTurn({1, 0, 0}, 0.45f);
    ringed.add(meshNode("far planet", sphere(0.8f, 20, 40), Gradient));
    Mesh rings = torus(1.25f, 0.4f, 64, 8, {6, 1});
    scaleMesh(rings, {1.0f, 1.0f, 0.04f});
    NodeSpec& ringMesh = ringed.add(meshNode("rings", rings, Stripes));
    ringMesh.rotation = steadySpin({0, 0, 1}, 1, Loop, 0, Loop);

    // The belt turns a quarter turn per loop: with sixteen rocks that lands every rock
    // where the rock four places on started. Each rock tumbles in a slot turned to face
    // along the belt, so that it arrives turned as that rock started.
    NodeSpec& belt = stage.add(transformNode("belt"));
    belt.rotation = steadySpin({0, 0, 1}, 1, 4 * Loop, 0, Loop);
    for (int i = 0; i < Rocks; ++i) {
        float angle = 2.0f * Pi * float(i) / float(Rocks);
        float height = (i % 2 ? 0.5f : -0.4f);
        Vector3 at{11.5f * std::cos(angle), 11.5f * std::sin(angle), height};
        NodeSpec& slot = belt.add(transformNode("slot " + std::to_string(i + 1), at));
        slot.rotation = fixedTurn({0, 0, 1}, angle);
        NodeSpec& rock = slot.add(meshNode("rock " + std::to_string(i + 1), box({0.5f, 0.5f, 0.5f}), Checker));
        Vector3 axis = normalised(i % 2 ? Vector3(1, 1, 0) : Vector3(0, 1, 1));
        rock.rotation = steadySpin(axis, i % 4 == 1 ? -1 : 1, Loop, 0, Loop, float(i % 4));
    }

    // A cool light circling high above, on the side away from the sun's warm light.
    NodeSpec& fill = stage.add(lightNode("fill light", palette::Cyan));
    fill.position.keys = circlePath({}, 5.0f, 3.0f, -Pi / 2, 2.0f * Pi / float(Loop), 0, Loop, beat(1));
    scene.nodes.push_back(stage);

    CameraMove wide;
    wide.name = "orbit_cam";
    wide.eye = {{0, {-10.0f, -19.0f, 8.0f}}, {Loop, {-2.0f, -21.0f, 5.5f}}};
    wide.target = {{0, {0.0f, 0.0f, 0.0f}}, {Loop, {0.0f, 0.0f, 0.6f}}};
    wide.fovDegrees = {{0, 46.0f}};
    addCamera(scene.nodes, wide);

    // Closer and from higher up, the near planet's whole path in view; the view tightens
    // on every snare.
    CameraMove close;
    close.name = "orbit_close";
    close.eye = {{0, {3.0f, -12.5f, 5.5f}}, {Loop, {-3.0f, -12.5f, 5.5f}}};
    close.target = {{0, {0.0f, 0.0f, 0.0f}}};
    ScalarTrackSpec punches = beatPulse(56.0f, 50.0f, beatsFrom(1, 17, 2), 10);
    close.fovDegrees = punches.keys;
    addCamera(scene.nodes, close);
    scene.nodes.push_back(overlayReset(Glow, Lines));
    return scene;
}

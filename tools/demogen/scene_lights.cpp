// The drop: three coloured lights circle a chrome centrepiece that throbs with the kick,
// painting pools of colour on a checkered floor; marble pillars rise one a beat, then
// leap in turn, one a beat, round and round.
// The camera circles half way round, punching in on every bar line.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

#include <cmath>

using namespace scenes;

namespace {

enum Material { Chrome, Checker, Marble, Glow, Lines };

constexpr int Length = bar(8);
constexpr int Pillars = 8;
const Vector3 Heart{0.0f, 0.0f, 2.4f};

struct Rig {
    const char* name;
    Colour colour;
    int turns; // per Length
    float radius;
    float height;
};

} // namespace

SceneSpec lightsScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), textured("checker", show::CheckerTexture),
                       textured("marble", show::MarbleTexture),
                       textured("glow", show::GlowTexture, 0.5f), whiteLines("lines")};
    const int beats = Length / show::FramesPerBeat;
    NodeSpec stage = stageNode("lights_stage");

    // The centrepiece: a chrome ball beating with the kick inside a tumbling chrome hoop.
    NodeSpec& ball = stage.add(meshNode("ball", sphere(1.2f, 24, 48), Chrome, Heart));
    ball.scale = beatPulse(meshScale(1.0f), meshScale(1.12f), beatsFrom(0, beats + 1), 10);
    NodeSpec& hoop = stage.add(meshNode("hoop", torus(2.0f, 0.13f, 64, 12), Chrome, Heart));
    hoop.rotation = steadySpin(normalised({1, 0.3f, 0}), 2, Length, 0, Length);

    stage.add(meshNode("floor", floorGrid(64.0f, 64.0f, 80, 80, 8.0f), Checker));

    // Standing on their bases, so that they grow upwards when they leap.
    Mesh block = box({0.45f, 0.45f, 1.4f});
    moveMesh(block, {0.0f, 0.0f, 1.4f});
    for (int i = 0; i < Pillars; ++i) {
        float angle = 2.0f * Pi * float(i) / float(Pillars);
        Vector3 at{6.5f * std::cos(angle), 6.5f * std::sin(angle), 0.0f};
        NodeSpec& pillar = stage.add(meshNode("pillar " + std::to_string(i + 1), block, Marble, at));
        popIn(pillar, beat(1 + i));
        Vector3 leap = meshScale(1.0f) * Vector3(1.0f, 1.0f, 1.6f);
        pillar.scale = beatPulse(meshScale(1.0f), leap, beatsFrom(Pillars + 1 + i, beats + 1, Pillars), 12);
    }

    // The lights circle low outside the pillars, each with a glow where it shines from
    // (twice its position from its rig), rising and falling over two bars.
    const Rig rigs[] = {
        {"coral", palette::Coral, 1, 4.5f, 1.0f},
        {"cyan", palette::Cyan, -2, 4.2f, 0.8f},
        {"violet", palette::Magenta, 3, 4.8f, 1.2f},
    };
    for (const Rig& r : rigs) {
        NodeSpec& rig = stage.add(transformNode(std::string(r.name) + " rig"));
        rig.rotation = steadySpin({0, 0, 1}, r.turns, Length, 0, Length, float(r.turns));
        std::vector<KeySpec<Vector3>> bob;
        for (int b = -2; b <= bar(8) / show::FramesPerBar + 2; b += 1)
            bob.push_back({bar(b), {r.radius, 0.0f, r.height + (b % 2 ? 0.25f : -0.25f)}});
        NodeSpec& light = rig.add(lightNode(std::string(r.name) + " light", r.colour));
        light.position.keys = bob;
        Mesh sprite = glowSprite(0.6f);
        shadeTowards(sprite, {});
        NodeSpec& glow = rig.add(meshNode(std::string(r.name) + " glow", sprite, Glow));
        glow.position.keys = scaledKeys(bob, 2.0f);
    }

    // A spotlight as an authoring tool leaves it: linked to its target, lighting nothing.
    NodeSpec spot = makeNode(NodeType::Spot, "spot", {0.0f, 0.0f, 9.0f});
    spot.colour = {palette::Gold.r, palette::Gold.g, palette::Gold.b};
    spot.spotFirst.keys = {{0, 0.35f}};
    spot.spotSecond.keys = {{0, 0.6f}};
    stage.add(spot);
    stage.add(makeNode(NodeType::Target, "spot", {}));

    CameraMove camera;
    camera.name = "lights_cam";
    camera.eye = circlePath({}, 14.0f, 10.0f, -2.2f, Pi / float(Length), 0, Length, beat(2));
    // A dim violet light travels with the camera, so that no side it sees goes black.
    NodeSpec& follow = stage.add(lightNode("camera light", palette::Violet * 0.7f));
    follow.position.keys = scaledKeys(camera.eye, 0.5f);
    scene.nodes.push_back(stage);
    camera.target = {{0, {0.0f, 0.0f, 1.0f}}};
    camera.fovDegrees = beatPulse(52.0f, 45.0f, beatsFrom(0, beats + 1, show::BeatsPerBar), 14).keys;
    for (int b = -1; b <= 9; ++b)
        camera.roll.push_back({bar(b), b % 2 ? 0.2f : -0.2f});
    addCamera(scene.nodes, camera);
    scene.nodes.push_back(overlayReset(Glow, Lines));
    return scene;
}

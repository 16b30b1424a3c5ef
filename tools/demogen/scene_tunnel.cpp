// A fall down a vertical shaft: colour bands on the walls, a turning layer of translucent
// stripes, a white hexagon passing on every beat and a chrome gate on every bar line. The
// camera looks straight down, so its roll turns the whole picture.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

using namespace scenes;

namespace {

enum Material { Chrome, Gradient, Stripes, Lines, EndLight };

constexpr int Bars = 8;
constexpr int Length = bar(Bars);
// The camera falls this far each beat, starting at Top.
constexpr float FallPerBeat = 4.0f;
constexpr float Top = 2.0f;
constexpr float Depth = 230.0f;
constexpr float WallRadius = 4.0f;
constexpr float LightAhead = 36.0f;

// The height of the camera on beat b.
constexpr float heightAt(int b) { return Top - FallPerBeat * float(b); }

} // namespace

SceneSpec tunnelScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), textured("gradient", show::GradientTexture),
                       textured("stripes", show::StripesTexture, 0.3f), whiteLines("lines"),
                       textured("end light", show::GlowTexture)};
    const int beats = Length / show::FramesPerBeat;

    // The picture rolls an eighth of a turn per bar, then a quarter.
    std::vector<KeySpec<float>> roll;
    for (int b = -1; b <= Bars + 1; ++b) {
        float turns = b <= Bars / 2 ? 0.125f * float(b) : 0.5f + 0.25f * float(b - Bars / 2);
        roll.push_back({bar(b), 2.0f * Pi * turns});
    }

    // Looking straight down there is no level view to widen the stage for: the widening
    // turns with the roll. So the shaft stands in a node turned with the roll and narrowed
    // along the picture's width, inside one turned back, which leaves the shaft itself
    // unturned.
    NodeSpec withRoll = transformNode("roll");
    NodeSpec backAgain = transformNode("shaft");
    for (const KeySpec<float>& key : roll) {
        withRoll.rotation.keys.push_back({key.frame, turnKey({0, 0, 1}, key.value)});
        backAgain.rotation.keys.push_back({key.frame, turnKey({0, 0, 1}, -key.value)});
    }
    withRoll.scale.keys = {{0, {1.0f, StageSquash, 1.0f}}};

    // The camera passes a gate on every bar line.
    Mesh gates;
    for (int b = show::BeatsPerBar; b <= beats + 2 * show::BeatsPerBar; b += show::BeatsPerBar) {
        Mesh gate = torus(3.4f, 0.24f, 64, 12);
        moveMesh(gate, {0, 0, heightAt(b)});
        gates.append(gate);
    }
    backAgain.add(meshNode("gates", gates, Chrome));

    // The walls: one colour band a bar, under a turning layer of stripes.
    float barLength = FallPerBeat * float(show::BeatsPerBar);
    Mesh walls = tunnel(WallRadius, Top + 4.0f, Depth, 32, 115, {2.0f, Depth / barLength});
    backAgain.add(meshNode("walls", walls, Gradient));
    Mesh stripes = tunnel(WallRadius - 0.3f, Top + 4.0f, Depth, 32, 115, {3.0f, Depth / 10.0f});
    NodeSpec& lining = backAgain.add(meshNode("lining", stripes, Stripes));
    lining.rotation = steadySpin({0, 0, 1}, -1, 2 * Length, 0, Length);

    // A white hexagon on every beat, each coming on as it comes within six beats' fall:
    // their corners show the picture's roll.
    const int ahead = 6;
    for (int b = 1; b <= beats + ahead + 2; ++b) {
        std::vector<Vector3> endpoints;
        addCircle(endpoints, {0, 0, heightAt(b)}, {1, 0, 0}, {0, 1, 0}, WallRadius - 0.5f, 6);
        NodeSpec& ring = backAgain.add(meshNode("ring " + std::to_string(b), lineSegments(endpoints), Lines));
        if (b > ahead)
            popIn(ring, beat(b - ahead));
    }
    // A light at the end of the shaft, always the same way ahead: it closes the view
    // before the far rings and bands crowd together.
    int end = beats + 2;
    NodeSpec& light = backAgain.add(meshNode("end light", disc(WallRadius, 48), EndLight));
    light.position.keys = {{0, {0, 0, heightAt(0) - LightAhead}}, {beat(end), {0, 0, heightAt(end) - LightAhead}}};
    withRoll.add(backAgain);
    scene.nodes.push_back(withRoll);

    // Falling at a steady pace, looking straight down (a little off the axis, which
    // would leave the view without a sideways direction); the view widens on every bar line.
    CameraMove camera;
    camera.name = "tunnel_cam";
    camera.staged = false;
    camera.eye = {{0, {0, 0, heightAt(0)}}, {beat(end), {0, 0, heightAt(end)}}};
    camera.target = {{0, {0.5f, 0, heightAt(0) - 12.0f}}, {beat(end), {0.5f, 0, heightAt(end) - 12.0f}}};
    camera.roll = roll;
    camera.fovDegrees = beatPulse(70.0f, 82.0f, beatsFrom(0, beats + 1, show::BeatsPerBar), 12).keys;
    addCamera(scene.nodes, camera);
    scene.nodes.push_back(overlayReset(Stripes, Lines));
    return scene;
}

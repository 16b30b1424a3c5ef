// The breakdown: a blob of liquid chrome flowing from shape to shape, every two beats at
// first and on every beat as the riser builds, ending as a spiky star on the drop. A
// magenta and a cyan light circle it; in the last bar marble cubes join, two a beat.
#include "scene_building.h"
#include "scenes.h"
#include "show_assets.h"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace scenes;

namespace {

enum Material { Chrome, Marble, Glow, Lines };

constexpr int Length = bar(4);
constexpr float Radius = 1.6f;
const Vector3 Centre{0.0f, 0.0f, 2.2f};
constexpr int Cubes = 8;

// A shape: where the vertex in unit direction d of the round blob goes.
using Shape = std::function<Vector3(Vector3 d)>;

Vector3 ball(Vector3 d) { return d * Radius; }

Vector3 roundedCube(Vector3 d)
{
    float n = std::pow(std::pow(std::fabs(d.x), 6.0f) + std::pow(std::fabs(d.y), 6.0f) +
                       std::pow(std::fabs(d.z), 6.0f), 1.0f / 6.0f);
    return d * (Radius * 0.95f / n);
}

Vector3 twisted(Vector3 d)
{
    Vector3 tall{d.x * 0.75f, d.y * 0.75f, d.z * 1.45f};
    return turned(tall, {0, 0, 1}, 1.3f * d.z) * Radius;
}

Vector3 lobed(Vector3 d)
{
    float around = std::atan2(d.y, d.x);
    float flat = std::sqrt(d.x * d.x + d.y * d.y);
    return Vector3(d.x, d.y, d.z * 0.8f) * (Radius * (1.0f + 0.28f * flat * std::cos(6.0f * around)));
}

// Spikes along the eight diagonals and the six axes, `reach` long.
Shape spiky(float reach)
{
    return [reach](Vector3 d) {
        float spike = 0.0f;
        for (int i = 0; i < 14; ++i) {
            Vector3 axis = i < 8 ? normalised(Vector3(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f))
                                 : Vector3(i == 8 ? 1.0f : i == 9 ? -1.0f : 0.0f, i == 10 ? 1.0f : i == 11 ? -1.0f : 0.0f,
                                           i == 12 ? 1.0f : i == 13 ? -1.0f : 0.0f);
            spike = std::max(spike, std::pow(std::max(0.0f, dot(d, axis)), 24.0f));
        }
        return d * (Radius * (0.85f + reach * spike));
    };
}

MorphKeySpec morphKey(int frame, const Mesh& blob, const Shape& shape)
{
    MorphKeySpec key;
    key.frame = frame;
    for (const Vector3& v : blob.vertices)
        key.positions.push_back(shape(normalised(v)));
    return key;
}

} // namespace

SceneSpec morphScene()
{
    SceneSpec scene;
    scene.materials = {chrome("chrome"), textured("marble", show::MarbleTexture),
                       textured("glow", show::GlowTexture, 0.5f), whiteLines("lines")};
    NodeSpec stage = stageNode("morph_stage");

    // The blob's normals stay those of the round shape, so it keeps the reflections of a
    // sphere whatever shape it takes.
    Mesh blob = sphere(Radius, 28, 56);
    NodeSpec blobNode = meshNode("blob", blob, Chrome, Centre);
    blobNode.rotation = steadySpin({0, 0, 1}, 1, Length, 0, Length);
    const std::pair<int, Shape> shapes[] = {
        {beat(0), ball},        {beat(2), roundedCube}, {beat(4), twisted},   {beat(6), lobed},
        {beat(8), ball},        {beat(10), roundedCube}, {beat(12), spiky(0.3f)}, {beat(13), lobed},
        {beat(14), spiky(0.6f)}, {beat(15), roundedCube}, {beat(16), spiky(1.0f)},
    };
    for (const auto& shape : shapes)
        blobNode.morph.keys.push_back(morphKey(shape.first, blob, shape.second));
    stage.add(blobNode);

    // A soft pale light from the camera's side shows the blob's face; two coloured
    // lights, each with a glow where it shines from, bobbing on the beat.
    stage.add(lightNode("key light", palette::Ice * 0.9f, {0.0f, -4.0f, 1.6f}));
    const Colour colours[] = {palette::Magenta, palette::Cyan};
    for (int i = 0; i < 2; ++i) {
        NodeSpec& rig = stage.add(transformNode(i ? "cyan rig" : "magenta rig", Centre));
        rig.rotation = steadySpin({0, 0, 1}, i ? -1 : 1, Length, 0, Length, float(i) * Pi);
        // The light shines from twice its position; its glow sits there.
        std::vector<KeySpec<Vector3>> bob;
        for (int b = -1; b <= Length / show::FramesPerBeat + 1; ++b) {
            float lift = (b + i) % 2 ? 0.35f : -0.35f;
            bob.push_back({beat(b), {2.2f, 0.0f, (i ? -0.2f : 0.7f) + lift}});
        }
        NodeSpec& light = rig.add(lightNode(i ? "cyan light" : "magenta light", colours[i]));
        light.position.keys = bob;
        Mesh sprite = glowSprite(0.55f);
        shadeTowards(sprite, {});
        NodeSpec& glow = rig.add(meshNode(i ? "cyan glow" : "magenta glow", sprite, Glow));
        glow.position.keys = scaledKeys(bob, 2.0f);
    }

    // Marble cubes arrive in the last bar, two a beat, circling the other way.
    NodeSpec& swarm = stage.add(transformNode("swarm", Centre));
    swarm.rotation = steadySpin({0, 0, 1}, -1, Length, 0, Length);
    for (int i = 0; i < Cubes; ++i) {
        float angle = 2.0f * Pi * float(i) / float(Cubes);
        Vector3 at{3.4f * std::cos(angle), 3.4f * std::sin(angle), i % 2 ? 0.5f : -0.5f};
        NodeSpec& cube = swarm.add(meshNode("cube " + std::to_string(i + 1), box({0.28f, 0.28f, 0.28f}), Marble, at));
        cube.rotation = steadySpin(normalised({1, 1, 1}), 2, Length, 0, Length, float(i));
        popIn(cube, beat(12 + i / 2));
    }
    scene.nodes.push_back(stage);

    // Circling slowly, closing in as the riser builds.
    CameraMove camera;
    camera.name = "morph_cam";
    camera.eye = circlePath({}, 10.0f, 3.0f, -1.75f, 0.5f / float(Length), 0, Length, beat(4));
    camera.target = {{0, {0.0f, 0.0f, 2.0f}}};
    camera.fovDegrees = {{0, 50.0f}, {beat(12), 48.0f}, {beat(16), 36.0f}};
    addCamera(scene.nodes, camera);
    scene.nodes.push_back(overlayReset(Glow, Lines));
    return scene;
}

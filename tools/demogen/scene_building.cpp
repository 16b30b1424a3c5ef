#include "scene_building.h"

#include "show_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace scenes {

namespace {

// Frames a pulse takes to rise to its peak, so that the peak lands on the beat.
constexpr int PulseAttack = 2;

// A key that holds its value with flat tangents, so that neighbouring keys of the same
// value do not swing past it.
template <typename V>
KeySpec<V> flatKey(int frame, V value)
{
    KeySpec<V> key{frame, value};
    key.tension = 1.0f;
    return key;
}

// The last multiple of step at or before frame. Spins and swings key one step beyond the
// multiples around their range, so that the range lies in inner segments only, which
// have no ease.
int keyBefore(int frame, int step)
{
    return (frame >= 0 ? frame / step : -((-frame + step - 1) / step)) * step;
}

template <typename V>
TrackSpec<V> pulseKeys(V base, V peak, const std::vector<int>& beats, int settle)
{
    TrackSpec<V> track;
    // A track extrapolates before its first key: start at rest no later than frame 0.
    int start = beats.empty() ? 0 : beat(beats.front()) - PulseAttack;
    track.keys.push_back(flatKey(std::min(0, start), base));
    for (size_t i = 0; i < beats.size(); ++i) {
        int frame = beat(beats[i]);
        if (frame - PulseAttack > track.keys.back().frame)
            track.keys.push_back(flatKey(frame - PulseAttack, base));
        track.keys.push_back(flatKey(frame, peak));
        int next = i + 1 < beats.size() ? beat(beats[i + 1]) : frame + settle + PulseAttack + 1;
        if (frame + settle < next - PulseAttack)
            track.keys.push_back(flatKey(frame + settle, base));
    }
    return track;
}

} // namespace

Vector3 onStage(Vector3 stagePoint)
{
    return {stagePoint.x * StageSquash, stagePoint.y * StageSquash, stagePoint.z};
}

float fieldOfView(float degrees)
{
    // The player turns the value into degrees by multiplying with 360 / pi.
    return degrees * Pi / 360.0f;
}

Quaternion turnKey(Vector3 axis, float radians)
{
    float s = std::sin(radians * 0.5f);
    return {std::cos(radians * 0.5f), -axis.x * s, -axis.y * s, -axis.z * s};
}

RotationTrackSpec steadySpin(Vector3 axis, int turns, int period, int from, int to, float phase)
{
    RotationTrackSpec track;
    if (turns == 0) {
        track.keys.push_back({0, turnKey(axis, phase)});
        return track;
    }
    float perFrame = 2.0f * Pi * float(turns) / float(period);
    int step = std::max(1, period / (4 * std::abs(turns)));
    int first = keyBefore(from, step) - step;
    int last = keyBefore(to + step - 1, step) + step;
    for (int frame = first; frame <= last; frame += step)
        track.keys.push_back({frame, turnKey(axis, phase + perFrame * float(frame))});
    return track;
}

RotationTrackSpec fixedTurn(Vector3 axis, float radians)
{
    RotationTrackSpec track;
    track.keys.push_back({0, turnKey(axis, radians)});
    return track;
}

RotationTrackSpec swing(Vector3 axis, float amplitude, int period, int from, int to, float centre)
{
    RotationTrackSpec track;
    int half = std::max(1, period / 2);
    int first = keyBefore(from, half) - half;
    int last = keyBefore(to + half - 1, half) + half;
    for (int frame = first; frame <= last; frame += half) {
        bool even = ((frame / half) % 2) == 0;
        track.keys.push_back({frame, turnKey(axis, centre + (even ? amplitude : -amplitude))});
    }
    return track;
}

VectorTrackSpec beatPulse(Vector3 base, Vector3 peak, const std::vector<int>& beats, int settle)
{
    return pulseKeys(base, peak, beats, settle);
}

ScalarTrackSpec beatPulse(float base, float peak, const std::vector<int>& beats, int settle)
{
    return pulseKeys(base, peak, beats, settle);
}

std::vector<KeySpec<Vector3>> circlePath(Vector3 centre, float radius, float height, float angle,
                                         float perFrame, int from, int to, int step)
{
    std::vector<KeySpec<Vector3>> keys;
    for (int frame = from - step; frame <= to + step; frame += step) {
        float a = angle + perFrame * float(frame);
        keys.push_back({frame, centre + Vector3(radius * std::cos(a), radius * std::sin(a), height)});
    }
    return keys;
}

std::vector<KeySpec<Vector3>> scaledKeys(std::vector<KeySpec<Vector3>> keys, float factor)
{
    for (KeySpec<Vector3>& key : keys)
        key.value *= factor;
    return keys;
}

std::vector<int> beatsFrom(int first, int end, int every)
{
    std::vector<int> beats;
    for (int b = first; b < end; b += every)
        beats.push_back(b);
    return beats;
}

MaterialSpec whiteLines(const std::string& name)
{
    MaterialSpec material;
    material.name = name;
    return material;
}

MaterialSpec textured(const std::string& name, const char* texture, float amount)
{
    MaterialSpec material;
    material.name = name;
    material.maps[1] = {amount, texture};
    return material;
}

MaterialSpec chrome(const std::string& name)
{
    MaterialSpec material;
    material.name = name;
    material.maps[9] = {1.0f, show::ChromeTexture};
    return material;
}

MaterialSpec texturedChrome(const std::string& name, const char* texture)
{
    MaterialSpec material = textured(name, texture);
    material.maps[9] = {1.0f, show::ChromeTexture};
    return material;
}

NodeSpec meshNode(const std::string& name, const Mesh& mesh, int material, Vector3 at, Facing facing)
{
    NodeSpec node = makeNode(NodeType::Mesh, name, at);
    node.vertices = mesh.vertices;
    node.faces = mesh.faces;
    node.faces.insert(node.faces.end(), mesh.shadingFaces.begin(), mesh.shadingFaces.end());
    GroupSpec group;
    group.material = material;
    for (size_t i = 0; i < mesh.faces.size(); ++i)
        group.faces.push_back(int32_t(i));
    node.groups.push_back(group);
    node.scale.keys = {{0, meshScale(1.0f, facing)}};
    return node;
}

NodeSpec overlayReset(int translucentMaterial, int linesMaterial)
{
    NodeSpec node = meshNode("overlay reset", Mesh{}, translucentMaterial);
    GroupSpec lines;
    lines.material = linesMaterial;
    node.groups.push_back(lines);
    return node;
}

Vector3 meshScale(float size, Facing facing)
{
    return {facing == Facing::Mirrored ? -size : size, size, size};
}

NodeSpec transformNode(const std::string& name, Vector3 at)
{
    return makeNode(NodeType::Transform, name, at);
}

NodeSpec stageNode(const std::string& name)
{
    NodeSpec stage = transformNode(name);
    stage.scale.keys = {{0, {StageSquash, StageSquash, 1.0f}}};
    return stage;
}

NodeSpec lightNode(const std::string& name, Colour colour, Vector3 at)
{
    NodeSpec light = makeNode(NodeType::Light, name, at);
    light.colour = {colour.r, colour.g, colour.b};
    return light;
}

void popIn(NodeSpec& node, int frame)
{
    node.visibility = {0, frame};
}

void addCamera(std::vector<NodeSpec>& nodes, const CameraMove& move)
{
    auto place = [&](std::vector<KeySpec<Vector3>> keys) {
        if (move.staged) {
            for (KeySpec<Vector3>& key : keys)
                key.value = onStage(key.value);
        }
        return keys;
    };
    NodeSpec camera = makeNode(NodeType::Camera, move.name);
    camera.position.keys = place(move.eye);
    camera.fov.keys = move.fovDegrees;
    for (KeySpec<float>& key : camera.fov.keys)
        key.value = fieldOfView(key.value);
    if (!move.roll.empty())
        camera.roll.keys = move.roll;
    NodeSpec target = makeNode(NodeType::Target, move.name);
    target.position.keys = place(move.target);
    nodes.push_back(camera);
    nodes.push_back(target);
}

} // namespace scenes

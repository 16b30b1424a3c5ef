// Imported cameras: the player's look-at from the baked eye, target and roll sees every
// point where the glTF camera sees it, for a pitched camera (rolled or not) on a turning
// rig, at frames and between them; a level camera's sideways tilt, which the player's roll
// cannot show, is reported.
#include "gltf_files.h"
#include "gltf_import.h"

#include "graph/camera_node.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
using V3 = std::array<double, 3>;
using Q = std::array<double, 4>; // x, y, z, w

Q axisAngle(V3 axis, double degrees)
{
    double h = degrees * pi / 360;
    return {axis[0] * std::sin(h), axis[1] * std::sin(h), axis[2] * std::sin(h), std::cos(h)};
}
Q product(Q a, Q b)
{
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}
V3 rotate(Q q, V3 v)
{
    Q p = product(product(q, {v[0], v[1], v[2], 0}), {-q[0], -q[1], -q[2], q[3]});
    return {p[0], p[1], p[2]};
}
V3 sub(V3 a, V3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(V3 a, V3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 cross(V3 a, V3 b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
V3 unit(V3 a)
{
    double l = std::sqrt(dot(a, a));
    return {a[0] / l, a[1] / l, a[2] / l};
}
double angleBetween(V3 a, V3 b)
{
    return std::acos(std::clamp(dot(unit(a), unit(b)), -1.0, 1.0)) * 180 / pi;
}

// The direction of a player-space point in the player's camera space, built the way the
// player builds its look-at (up from world Z turned by the roll about world Z).
V3 playerView(V3 eye, V3 centre, double roll, V3 point)
{
    V3 n = unit(sub(centre, eye));
    V3 s{1, 0, 0};
    double across = std::sqrt(n[0] * n[0] + n[1] * n[1]);
    if (across > 0)
        s = {n[1] / across, -n[0] / across, 0};
    V3 u = unit(cross(s, n));
    V3 up{std::cos(roll) * u[0] - std::sin(roll) * u[1], std::sin(roll) * u[0] + std::cos(roll) * u[1], u[2]};
    V3 side = unit(cross(n, up));
    V3 realUp = cross(side, n);
    V3 d = sub(point, eye);
    return {dot(side, d), dot(realUp, d), -dot(n, d)};
}

// The largest angle, in degrees, between where the glTF camera and the player's look-at
// see a few points, for a camera of the given local rotation on a rig turning 90 degrees
// about the vertical over two seconds.
double worstOnTurningRig(const Q& local)
{
    const V3 offset{0, 1, 5};
    GltfText g = triangleModel();
    Q turned = axisAngle({0, 1, 0}, 90);
    int times = g.floats({0, 2}, "SCALAR");
    int turns = g.floats({0, 0, 0, 1, float(turned[0]), float(turned[1]), float(turned[2]), float(turned[3])}, "VEC4");
    g.nodes.push_back("{\"name\":\"Rig\",\"children\":[2]}");
    g.nodes.push_back("{\"name\":\"Eye\",\"camera\":0,\"translation\":[0,1,5],\"rotation\":[" + std::to_string(local[0]) +
                      "," + std::to_string(local[1]) + "," + std::to_string(local[2]) + "," + std::to_string(local[3]) + "]}");
    g.scenes = "[{\"nodes\":[0,1]}]";
    g.extra.push_back("\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.7,\"znear\":0.1}}]");
    g.animations.push_back("{\"samplers\":[{\"input\":" + std::to_string(times) + ",\"output\":" + std::to_string(turns) +
                           "}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"rotation\"}}]}");
    const std::string text = g.text();
    ImportedShow show;
    std::string error;
    ImportOptions kept; // the size kept, as the reference rig is measured
    kept.scale = 1;
    EXPECT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "cam.gltf", kept,
                                 show, error)) << error;
    EXPECT_EQ(show.cameras, std::vector<std::string>{"eye"});
    for (const std::string& w : show.warnings)
        EXPECT_EQ(w.find("tilt"), std::string::npos) << w;
    const std::string bytes = writeScene(show.scene);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    EXPECT_FALSE(scene.reader->failed());
    auto* camera = static_cast<CameraNode*>(scene.findNodeByName("eye"));
    if (!camera || camera->kind != NodeKind::Camera || !camera->target) {
        ADD_FAILURE() << "no camera \"eye\" with a target";
        return 180;
    }
    EXPECT_NEAR(camera->fieldOfViewDegrees(0), 0.7 * 180 / pi, 1e-4);

    const std::vector<V3> points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {3, -2, 1}, {-4, 2, -3}};
    double worst = 0;
    // At every frame and half-way between frames, where the player interpolates the
    // baked roll: two rolls can give one picture, and a roll that changed branch from
    // one frame to the next would swing the picture between them.
    for (int half = 0; half <= 120; ++half) {
        const float f = half * 0.5f;
        const Q rig = axisAngle({0, 1, 0}, 90.0 * f / 60);
        const Q world = product(rig, local);
        const V3 eye = rotate(rig, offset);
        Vector3 e = camera->positionTrack.evaluate(f);
        Vector3 c = camera->target->positionTrack.evaluate(f);
        double roll = camera->rollTrack.evaluate(f);
        for (const V3& p : points) {
            V3 seen = rotate({-world[0], -world[1], -world[2], world[3]}, sub(p, eye));
            V3 player = playerView({e.x, e.y, e.z}, {c.x, c.y, c.z}, roll, {p[0], -p[2], p[1]});
            worst = std::max(worst, angleBetween(seen, player));
        }
    }
    return worst;
}

TEST(GltfCamera, ThePlayersLookAtSeesPointsWhereTheGltfCameraDoes)
{
    // Pitched and rolled.
    EXPECT_LT(worstOnTurningRig(product(axisAngle({1, 0, 0}, -30), axisAngle({0, 0, 1}, 20))), 0.25) << "degrees";
    // Pitched only: a roll of 0 and a roll of 180 degrees about world Z give the same
    // picture, and the baked roll must keep to one of them.
    EXPECT_LT(worstOnTurningRig(axisAngle({1, 0, 0}, -30)), 0.25) << "degrees";
}

TEST(GltfCamera, ALevelCameraTiltedSidewaysIsReportedAndAnOrthographicOneSkipped)
{
    GltfText g = triangleModel();
    Q tilt = axisAngle({0, 0, 1}, 15);
    g.nodes.push_back("{\"name\":\"Flat\",\"camera\":1}");
    g.nodes.push_back("{\"name\":\"Level\",\"camera\":0,\"translation\":[0,0,5],\"rotation\":[0,0," +
                      std::to_string(tilt[2]) + "," + std::to_string(tilt[3]) + "]}");
    g.scenes = "[{\"nodes\":[0,1,2]}]";
    g.extra.push_back("\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.7,\"znear\":0.1}},"
                      "{\"type\":\"orthographic\",\"orthographic\":{\"xmag\":1,\"ymag\":1,\"znear\":0.1,\"zfar\":10}}]");
    const std::string text = g.text();
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "level.gltf", {},
                                 show, error)) << error;
    bool reported = false;
    for (const std::string& w : show.warnings)
        reported = reported || (w.find("\"level\"") != std::string::npos && w.find("tilt") != std::string::npos &&
                                w.find("15 degrees") != std::string::npos);
    EXPECT_TRUE(reported);
    EXPECT_EQ(show.cameras, std::vector<std::string>{"level"});
}

} // namespace

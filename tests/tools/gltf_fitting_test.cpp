// Fitted keys: for STEP, LINEAR and CUBICSPLINE samplers on every animated property, the
// player's own evaluation of the written scene stays within the tolerance at every frame,
// and keys are added only where the curve needs them.
#include "gltf_files.h"
#include "gltf_import.h"
#include "key_fitting.h"

#include "graph/mesh_node.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using Values = std::vector<std::array<double, 4>>;

// The glTF curve at time t, as the glTF rules define it (independent of the importer).
std::array<double, 4> gltfAt(const std::string& interpolation, const std::vector<double>& times, const Values& values,
                             int components, double t, bool rotation)
{
    const bool cubic = interpolation == "CUBICSPLINE";
    auto value = [&](size_t k) { return values[cubic ? k * 3 + 1 : k]; };
    if (t <= times.front())
        return value(0);
    if (t >= times.back())
        return value(times.size() - 1);
    size_t k = 0;
    while (times[k + 1] <= t)
        ++k;
    double dt = times[k + 1] - times[k], u = (t - times[k]) / dt;
    std::array<double, 4> out{};
    if (interpolation == "STEP")
        return value(k);
    if (cubic) {
        double h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u, h01 = -2 * u * u * u + 3 * u * u,
               h11 = u * u * u - u * u;
        for (int i = 0; i < components; ++i)
            out[size_t(i)] = h00 * values[k * 3 + 1][size_t(i)] + h10 * dt * values[k * 3 + 2][size_t(i)] +
                             h01 * values[k * 3 + 4][size_t(i)] + h11 * dt * values[k * 3 + 3][size_t(i)];
    } else if (rotation) {
        std::array<double, 4> a = value(k), b = value(k + 1);
        double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
        if (d < 0) {
            for (double& c : b)
                c = -c;
            d = -d;
        }
        double angle = std::acos(std::min(1.0, d));
        double wa = 1 - u, wb = u;
        if (angle > 1e-6)
            wa = std::sin((1 - u) * angle) / std::sin(angle), wb = std::sin(u * angle) / std::sin(angle);
        for (int i = 0; i < 4; ++i)
            out[size_t(i)] = wa * a[size_t(i)] + wb * b[size_t(i)];
    } else {
        for (int i = 0; i < components; ++i)
            out[size_t(i)] = value(k)[size_t(i)] + (value(k + 1)[size_t(i)] - value(k)[size_t(i)]) * u;
    }
    if (rotation) {
        double l = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        for (double& c : out)
            c /= l;
    }
    return out;
}

struct Animated {
    ImportedShow show;
    Scene scene;
    MeshNode* mover = nullptr;
};

// A triangle in node "mover" (with one morph target moving its apex) animated on one path.
void importAnimated(const std::string& path, const std::string& interpolation, const std::vector<double>& times,
                    const Values& values, Animated& result)
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    g.indices({0, 1, 2});
    g.floats({0, 0, 0, 0, 0, 0, 0.5f, 2, -1}, "VEC3");
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1,\"targets\":[{\"POSITION\":2}]}],"
                       "\"weights\":[0]}");
    g.nodes.push_back("{\"name\":\"Mover\",\"mesh\":0}");
    const int components = path == "rotation" ? 4 : path == "weights" ? 1 : 3;
    std::vector<float> input(times.begin(), times.end()), output;
    for (const auto& v : values)
        for (int i = 0; i < components; ++i)
            output.push_back(float(v[size_t(i)]));
    int in = g.floats(input, "SCALAR");
    int out = g.floats(output, path == "rotation" ? "VEC4" : path == "weights" ? "SCALAR" : "VEC3");
    g.animations.push_back("{\"name\":\"go\",\"samplers\":[{\"input\":" + std::to_string(in) + ",\"output\":" +
                           std::to_string(out) + ",\"interpolation\":\"" + interpolation + "\"}],\"channels\":[{\"sampler\":0,"
                           "\"target\":{\"node\":0,\"path\":\"" + path + "\"}}]}");
    const std::string text = g.text();
    std::string error;
    ImportOptions kept; // the size kept, as the curves are measured
    kept.scale = 1;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "anim.gltf", kept,
                                 result.show, error)) << error;
    const std::string bytes = writeScene(result.show.scene);
    result.scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(result.scene.reader->failed());
    Node* found = result.scene.findNodeByName("mover");
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(found->kind, NodeKind::Mesh);
    result.mover = static_cast<MeshNode*>(found);
}

// Imports, then evaluates the written scene with the player's tracks at every frame and
// returns the largest difference from the glTF curve; the track's report must agree.
double largestDifference(const std::string& path, const std::string& interpolation, const std::vector<double>& times,
                         const Values& values, int* keysOut = nullptr)
{
    Animated a;
    importAnimated(path, interpolation, times, values, a);
    if (!a.mover)
        return 1e9;
    EXPECT_EQ(a.show.tracks.size(), 1u);
    if (a.show.tracks.empty())
        return 1e9;
    const TrackReport& report = a.show.tracks[0];
    if (keysOut)
        *keysOut = report.keysOut;
    const int components = path == "rotation" ? 4 : path == "weights" ? 1 : 3;
    // The file holds the key times as single-precision floats.
    std::vector<double> stored;
    for (double t : times)
        stored.push_back(double(float(t)));
    double largest = 0;
    for (int f = 0; f < a.show.frames; ++f) {
        // A frame whose time is a key's (as the file stores times) is on the key.
        auto v = gltfAt(interpolation, stored, values, components, double(float(f / 30.0)), path == "rotation");
        double d = 0;
        if (path == "translation" || path == "scale") {
            Vector3 want = path == "translation" ? Vector3(float(v[0]), float(-v[2]), float(v[1]))
                                                 : Vector3(float(v[0]), float(v[2]), float(v[1]));
            Vector3 got = path == "translation" ? a.mover->positionTrack.evaluate(float(f))
                                                : a.mover->scaleTrack.evaluate(float(f));
            Vector3 diff = got - want;
            d = std::sqrt(double(dot(diff, diff)));
        } else if (path == "rotation") {
            Quaternion want(float(v[3]), float(-v[0]), float(v[2]), float(-v[1]));
            d = rotationDifferenceDegrees(a.mover->rotationTrack.evaluate(float(f)), want);
        } else {
            // The apex moves by weight x (0.5, 2, -1) in glTF axes.
            Vector3 want(float(0.5 * v[0]), float(1 * v[0]), float(1 + 2 * v[0]));
            const Vector3Array& got = a.mover->morphTrack.evaluate(float(f), a.mover->vertices);
            Vector3 diff = got[2] - want;
            d = std::sqrt(double(dot(diff, diff)));
        }
        largest = std::max(largest, d);
    }
    EXPECT_LE(largest, report.tolerance * 1.001 + 1e-5) << path << " " << interpolation;
    EXPECT_NEAR(largest, report.largest, report.tolerance * 0.01 + 1e-5);
    return largest;
}

std::array<double, 4> turn(double degrees, double sign = 1)
{
    double h = degrees * 3.14159265358979 / 360;
    return {0, sign * std::sin(h), 0, sign * std::cos(h)};
}

TEST(GltfFitting, EveryInterpolationOnEveryPropertyStaysWithinTheTolerance)
{
    const std::vector<double> times{0, 0.5, 1.2, 2};
    const Values moves{{0, 0, 0}, {3, 1, 0}, {3, 4, -2}, {-1, 0, 5}};
    const Values scales{{1, 1, 1}, {2, 1, 1}, {2, 3, 0.5}, {1, 1, 1}};
    const Values weights{{0}, {1}, {0.25}, {0.8}};
    for (const char* interpolation : {"STEP", "LINEAR"}) {
        SCOPED_TRACE(interpolation);
        largestDifference("translation", interpolation, times, moves);
        largestDifference("scale", interpolation, times, scales);
        largestDifference("weights", interpolation, times, weights);
        largestDifference("rotation", interpolation, times, {turn(0), turn(100, -1), turn(200), turn(330, -1)});
    }
    // Cubic splines: in-tangent, value, out-tangent per key.
    Values cubicMoves, cubicScales, cubicWeights, cubicTurns;
    for (size_t k = 0; k < times.size(); ++k) {
        cubicMoves.insert(cubicMoves.end(), {{1, 0, -2}, moves[k], {0, 3, 1}});
        cubicScales.insert(cubicScales.end(), {{0, 0, 0}, scales[k], {1, -1, 0}});
        cubicWeights.insert(cubicWeights.end(), {{0}, weights[k], {2}});
        cubicTurns.insert(cubicTurns.end(), {{0, 0, 0, 0}, turn(60.0 * double(k)), {0, 0.3, 0, 0}});
    }
    largestDifference("translation", "CUBICSPLINE", times, cubicMoves);
    largestDifference("scale", "CUBICSPLINE", times, cubicScales);
    largestDifference("weights", "CUBICSPLINE", times, cubicWeights);
    largestDifference("rotation", "CUBICSPLINE", times, cubicTurns);
}

TEST(GltfFitting, RotationsCrossingHemispheresAndHalfTurnsStayWithinTheTolerance)
{
    // Keys stored with alternating signs: the same orientations, opposite hemispheres.
    largestDifference("rotation", "LINEAR", {0, 1, 2, 3}, {turn(0), turn(90, -1), turn(180), turn(270, -1)});
    // A half turn between two keys, and a full turn in three.
    largestDifference("rotation", "LINEAR", {0, 2}, {turn(0), turn(180)});
    largestDifference("rotation", "LINEAR", {0, 1, 2, 3}, {turn(0), turn(120), turn(240), turn(360)});
}

TEST(GltfFitting, KeysAreAddedOnlyWhereTheCurveNeedsThem)
{
    int keys = 0;
    largestDifference("translation", "LINEAR", {0, 2}, {{0, 0, 0}, {5, 1, -3}}, &keys);
    EXPECT_EQ(keys, 2);
    largestDifference("rotation", "LINEAR", {0, 2}, {turn(0), turn(90)}, &keys);
    EXPECT_EQ(keys, 2);
    largestDifference("scale", "LINEAR", {0, 1, 2}, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, &keys);
    EXPECT_EQ(keys, 1);
    // A step holds its value to the frame before the next key: keys on consecutive frames,
    // flat on either side of the jump.
    Animated a;
    importAnimated("translation", "STEP", {0, 1, 2}, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, a);
    ASSERT_NE(a.mover, nullptr);
    std::vector<int> frames;
    for (const auto& key : a.mover->positionTrack.keys)
        frames.push_back(key->frame);
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 28, 29, 30, 31, 58, 59, 60}));
}

TEST(GltfFitting, FittingStartsFromTheGivenFramesAndHoldsAConstantCurveInOneKey)
{
    std::vector<Vector3> still(40, Vector3(1, 2, 3));
    VectorTrackSpec track;
    FitResult r = fitVectorTrack(still, {0, 10, 39}, 1e-4, track);
    EXPECT_EQ(r.keysIn, 3);
    EXPECT_EQ(r.keysOut, 1);
    EXPECT_EQ(track.keys.size(), 1u);

    std::vector<float> parabola;
    for (int f = 0; f <= 60; ++f)
        parabola.push_back(float((f - 30) * (f - 30)) / 900.0f);
    ScalarTrackSpec scalar;
    r = fitScalarTrack(parabola, {0, 60}, 1e-3, scalar);
    EXPECT_LE(r.largest, 1e-3);
    EXPECT_GT(r.keysOut, 2);
    for (size_t k = 1; k < scalar.keys.size(); ++k)
        EXPECT_LT(scalar.keys[k - 1].frame, scalar.keys[k].frame);
}

} // namespace

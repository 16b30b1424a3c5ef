#include "key_fitting.h"

#include "anim/morph_track.h"
#include "anim/rotation_track.h"
#include "anim/scalar_track.h"
#include "anim/vector_track.h"

#include <algorithm>
#include <cmath>

namespace {

// Fits keys to a curve of n samples. errorsOf(keys) evaluates the player's track built on
// those key frames and returns the difference at every frame.
template <typename ErrorsOf>
FitResult fitFrames(int n, const std::vector<int>& startFrames, double tolerance, ErrorsOf errorsOf,
                    std::vector<int>& keys, bool halve = false)
{
    FitResult result;
    std::vector<int> start;
    for (int f : startFrames)
        if (f >= 0 && f < n)
            start.push_back(f);
    std::sort(start.begin(), start.end());
    start.erase(std::unique(start.begin(), start.end()), start.end());
    result.keysIn = static_cast<int>(start.size());

    keys = {0};
    std::vector<double> errors = errorsOf(keys);
    double largest = errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end());
    if (largest > tolerance) {
        keys = start;
        keys.push_back(0);
        keys.push_back(n - 1);
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (;;) {
            errors = errorsOf(keys);
            std::vector<int> added;
            for (size_t k = 0; k + 1 < keys.size(); ++k) {
                int worst = -1;
                for (int f = keys[k] + 1; f < keys[k + 1]; ++f)
                    if (errors[f] > tolerance && (worst < 0 || errors[f] > errors[worst]))
                        worst = f;
                if (worst >= 0)
                    added.push_back(halve && keys[k + 1] - keys[k] > 2 ? (keys[k] + keys[k + 1]) / 2 : worst);
            }
            if (added.empty())
                break;
            keys.insert(keys.end(), added.begin(), added.end());
            std::sort(keys.begin(), keys.end());
        }
        largest = errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end());
    }
    result.keysOut = static_cast<int>(keys.size());
    result.largest = largest;
    return result;
}

double distance(const Vector3& a, const Vector3& b)
{
    Vector3 d = a - b;
    return std::sqrt(static_cast<double>(dot(d, d)));
}

float quaternionDot(const Quaternion& a, const Quaternion& b)
{
    return a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
}

// The sampled values at the key frames, each flipped into its predecessor's hemisphere.
std::vector<Quaternion> keyRotations(const std::vector<Quaternion>& samples, const std::vector<int>& keys)
{
    std::vector<Quaternion> values;
    for (int f : keys) {
        Quaternion q = samples[f];
        if (!values.empty() && quaternionDot(values.back(), q) < 0.0f)
            q = Quaternion(-q.w, -q.x, -q.y, -q.z);
        values.push_back(q);
    }
    return values;
}

} // namespace

double rotationDifferenceDegrees(const Quaternion& a, const Quaternion& b)
{
    double la = std::sqrt(double(a.w) * a.w + double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
    double lb = std::sqrt(double(b.w) * b.w + double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z);
    if (!(la > 0.0) || !(lb > 0.0))
        return 180.0;
    double c = std::fabs((double(a.w) * b.w + double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z) / (la * lb));
    if (!(c <= 1.0))
        c = c > 1.0 ? 1.0 : 0.0;
    return 2.0 * std::acos(c) * 180.0 / 3.14159265358979323846;
}

FitResult fitVectorTrack(const std::vector<Vector3>& samples, const std::vector<int>& startFrames,
                         double tolerance, VectorTrackSpec& track)
{
    const int n = static_cast<int>(samples.size());
    std::vector<int> keys;
    FitResult result = fitFrames(n, startFrames, tolerance, [&](const std::vector<int>& frames) {
        VectorTrack player;
        for (int f : frames)
            player.addKey(f, samples[f]);
        player.prepare();
        std::vector<double> errors(n);
        for (int f = 0; f < n; ++f)
            errors[f] = distance(player.evaluate(static_cast<float>(f)), samples[f]);
        return errors;
    }, keys);
    track.keys.clear();
    for (int f : keys)
        track.keys.push_back({f, samples[f]});
    return result;
}

FitResult fitRotationTrack(const std::vector<Quaternion>& samples, const std::vector<int>& startFrames,
                           double toleranceDegrees, RotationTrackSpec& track)
{
    const int n = static_cast<int>(samples.size());
    std::vector<int> keys;
    FitResult result = fitFrames(n, startFrames, toleranceDegrees, [&](const std::vector<int>& frames) {
        RotationTrack player;
        std::vector<Quaternion> values = keyRotations(samples, frames);
        for (size_t k = 0; k < frames.size(); ++k)
            player.addKey(frames[k], values[k]);
        player.prepare();
        std::vector<double> errors(n);
        for (int f = 0; f < n; ++f)
            errors[f] = rotationDifferenceDegrees(player.evaluate(static_cast<float>(f)), samples[f]);
        return errors;
    }, keys);
    std::vector<Quaternion> values = keyRotations(samples, keys);
    track.keys.clear();
    for (size_t k = 0; k < keys.size(); ++k)
        track.keys.push_back({keys[k], values[k]});
    return result;
}

FitResult fitScalarTrack(const std::vector<float>& samples, const std::vector<int>& startFrames,
                         double tolerance, ScalarTrackSpec& track)
{
    const int n = static_cast<int>(samples.size());
    std::vector<int> keys;
    FitResult result = fitFrames(n, startFrames, tolerance, [&](const std::vector<int>& frames) {
        ScalarTrack player;
        for (int f : frames)
            player.addKey(f, samples[f]);
        player.prepare();
        std::vector<double> errors(n);
        for (int f = 0; f < n; ++f)
            errors[f] = std::fabs(double(player.evaluate(static_cast<float>(f))) - samples[f]);
        return errors;
    }, keys);
    track.keys.clear();
    for (int f : keys)
        track.keys.push_back({f, samples[f]});
    return result;
}

FitResult fitMorphTrack(const std::vector<std::vector<Vector3>>& samples, const std::vector<int>& startFrames,
                        double tolerance, MorphTrackSpec& track)
{
    const int n = static_cast<int>(samples.size());
    const int vertexCount = n > 0 ? static_cast<int>(samples[0].size()) : 0;
    Vector3Array rest;
    std::vector<int> keys;
    FitResult result = fitFrames(n, startFrames, tolerance, [&](const std::vector<int>& frames) {
        MorphTrack player;
        player.keys.setSize(static_cast<int>(frames.size()));
        for (size_t k = 0; k < frames.size(); ++k) {
            MorphKey& key = player.keys[static_cast<int>(k)];
            key.frame = frames[k];
            key.positions.setSize(vertexCount);
            for (int v = 0; v < vertexCount; ++v)
                key.positions[v] = samples[frames[k]][v];
        }
        player.prepare();
        std::vector<double> errors(n);
        for (int f = 0; f < n; ++f) {
            const Vector3Array& at = player.evaluate(static_cast<float>(f), rest);
            double worst = 0.0;
            for (int v = 0; v < vertexCount && v < at.size(); ++v)
                worst = std::max(worst, distance(at[v], samples[f][v]));
            errors[f] = worst;
        }
        return errors;
    }, keys, true);
    track.keys.clear();
    for (int f : keys) {
        MorphKeySpec key;
        key.frame = f;
        key.positions = samples[f];
        track.keys.push_back(std::move(key));
    }
    return result;
}

// The model's size against the player's fixed depth range: the whole scene scaled by a power
// of ten where the cameras would see it too near or too far, and the model's cameras whose
// own range the player's cannot meet even then.
#include "importer.h"

#include "import_names.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gltf_import {

namespace {

// The scale as a plain number: 100, 0.001, 2.5.
std::string plainNumber(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.12f", v);
    std::string text = buffer;
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

void scaleNode(NodeSpec& node, float factor)
{
    for (auto& key : node.position.keys)
        key.value = key.value * factor;
    for (Vector3& v : node.vertices)
        v = v * factor;
    for (MorphKeySpec& key : node.morph.keys)
        for (Vector3& v : key.positions)
            v = v * factor;
    for (NodeSpec& child : node.children)
        scaleNode(child, factor);
}

// The largest scale at which the player's depth buffer tells apart two surfaces gap apart at
// depth away from the eye (both at scale 1): their window depths, f (z - n) / (z (f - n)),
// at least one step of the buffer apart.
double resolvingScale(double depth, double gap)
{
    const double steps = std::ldexp(1.0, DepthBufferBits) - 1;
    return steps * FarPlane * NearPlane * gap / ((FarPlane - NearPlane) * depth * (depth + gap));
}

// The largest of 1, 2 and 5 times a power of ten that is at most v.
double roundDown125(double v)
{
    const double power = std::pow(10.0, std::floor(std::log10(v) + 1e-9));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= v * (1 + 1e-9))
            return step * power;
    return power;
}

// The smallest of 1, 2 and 5 times a power of ten that is at least v.
double roundUp125(double v)
{
    const double power = std::pow(10.0, std::floor(std::log10(v) + 1e-9));
    for (double step : {1.0, 2.0, 5.0})
        if (step * power >= v * (1 - 1e-9))
            return step * power;
    return 10 * power;
}

std::string frameList(const std::vector<int>& frames)
{
    std::string text;
    for (size_t i = 0; i < frames.size() && i < 10; ++i)
        text += (i ? ", " : "") + std::to_string(frames[i]);
    if (frames.size() > 10)
        text += " and " + std::to_string(frames.size() - 10) + " more";
    return text;
}

} // namespace

// Where the node's mesh is drawn at frame: its world matrix, or one per instance.
std::vector<Mat4> Importer::drawnAt(int index, int frame)
{
    const Mat4 world = worldAt(index, frame);
    if (!model_.nodes[size_t(index)].extensions.count("EXT_mesh_gpu_instancing"))
        return {world};
    std::vector<Mat4> places;
    for (const Trs& instance : instancesOf(index))
        places.push_back(multiply(world, trsMatrix(instance)));
    return places;
}

// Every vertex of the scene's meshes at each sampled frame (every frame, or 64 of them for
// large models), in the player's axes, handed to seen(frame, points).
void Importer::sampleGeometry(const std::function<void(int, const std::vector<DVec3>&)>& seen)
{
    uint64_t vertices = 0;
    for (int index : order_)
        if (model_.nodes[size_t(index)].mesh >= 0)
            vertices += meshData(model_.nodes[size_t(index)].mesh).base.size();
    const int step = uint64_t(frames_) * vertices <= 2000000 ? 1 : std::max(1, frames_ / 64);
    std::vector<int> sampled;
    for (int f = 0; f < frames_; f += step)
        sampled.push_back(f);
    if (sampled.back() != frames_ - 1)
        sampled.push_back(frames_ - 1);
    std::vector<DVec3> points;
    for (int f : sampled) {
        points.clear();
        for (int index : order_) {
            const tinygltf::Node& node = model_.nodes[size_t(index)];
            if (node.mesh < 0 || node.skin >= 0)
                continue;
            const MeshData& mesh = meshData(node.mesh);
            const std::vector<double> w = weightsAt(index, f, mesh);
            for (const Mat4& world : drawnAt(index, f))
                for (size_t v = 0; v < mesh.base.size(); ++v)
                    points.push_back(toPlayerD(transformPoint(world, morphed(mesh, v, w))));
        }
        // Skinned meshes are written in world space: the last key reached is the place.
        for (const NodeSpec& skinned : skinned_) {
            const std::vector<Vector3>* at = &skinned.vertices;
            for (const MorphKeySpec& key : skinned.morph.keys)
                if (key.frame <= f)
                    at = &key.positions;
            for (const Vector3& v : *at)
                points.push_back({v.x, v.y, v.z});
        }
        seen(f, points);
    }
}

// How far ahead of the camera the vertices it sees lie at frame f: nearest and farthest
// (nearest above farthest when it sees none).
Importer::Depths Importer::depthsSeen(const CameraView& view, int f, const std::vector<DVec3>& points) const
{
    Depths depths;
    const size_t at = std::min(size_t(f), view.eyes.size() - 1);
    const DVec3 eye = view.eyes[at], forward = view.forwards[at];
    DVec3 side{1, 0, 0};
    const double across = std::sqrt(forward.x * forward.x + forward.y * forward.y);
    if (across > 0)
        side = DVec3{forward.y, -forward.x, 0} * (1.0 / across);
    const DVec3 up = cross3(side, forward);
    const double high = std::tan(view.fovDegrees * pi / 360), wide = high * FixedAspect;
    for (const DVec3& p : points) {
        const DVec3 d = p - eye;
        const double depth = dot3(d, forward);
        if (!(depth > view.znear) || !(depth <= view.zfar) || std::fabs(dot3(d, side)) > depth * wide ||
            std::fabs(dot3(d, up)) > depth * high)
            continue;
        depths.nearest = std::min(depths.nearest, depth);
        depths.farthest = std::max(depths.farthest, depth);
    }
    return depths;
}

// The factor the scene is scaled by: the one asked for, else the power of ten nearest 1
// that puts what the cameras see between 10 times the near plane and a tenth of the far
// plane, or as near to that as the far plane allows; 1 when it fits or nothing is seen.
// Where the depth buffer would not tell apart surfaces a thousandth of the model's size
// apart at the nearest the cameras see it, the factor is lowered to 1, 2 or 5 times a power of
// ten at which it does, but never so far that what they see comes nearer than twice the near
// plane. Warns of the model's cameras that would see geometry past the player's planes that
// their own range shows.
double Importer::fitDepthRange()
{
    Depths all;
    std::vector<std::vector<int>> clipped(views_.size());
    std::vector<std::vector<Depths>> perFrame(views_.size());
    DVec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    sampleGeometry([&](int f, const std::vector<DVec3>& points) {
        for (const DVec3& p : points) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        for (size_t c = 0; c < views_.size(); ++c) {
            const Depths d = depthsSeen(views_[c], f, points);
            all.nearest = std::min(all.nearest, d.nearest);
            all.farthest = std::max(all.farthest, d.farthest);
            perFrame[c].push_back(d);
            perFrame[c].back().frame = f;
        }
    });
    double factor = options_.scale;
    // A file taldrex-scene export wrote was made for the player's range already.
    const bool exported = model_.asset.generator == "taldrex-scene export";
    if (factor <= 0 && (exported || all.nearest > all.farthest)) {
        factor = 1;
    } else if (factor <= 0) {
        const double low = 10 * NearPlane, high = FarPlane / 10;
        int power = 0;
        if (all.nearest < low)
            power = int(std::ceil(std::log10(low / all.nearest) - 1e-9));
        else if (all.farthest > high)
            power = int(std::floor(std::log10(high / all.farthest) + 1e-9));
        // Never past the far plane for the sake of the near one.
        while (power > 0 && all.farthest * std::pow(10.0, power) > FarPlane)
            --power;
        factor = std::pow(10.0, power);
        const double size = length3(hi - lo), gap = size / 1000;
        const double resolving = gap > 0 ? resolvingScale(all.nearest, gap) : factor;
        if (resolving < factor) {
            factor = std::max(roundDown125(resolving), roundUp125(2 * NearPlane / all.nearest));
            // The near plane's floor never raises the factor past the range's own fit.
            factor = std::min(factor, std::pow(10.0, power));
            const double resolved = gap * factor / resolving;
            show_.notes.push_back(
                "scaled by " + plainNumber(factor) + " to resolve the model's depth: the cameras see it (" +
                formatNumber(size) + " units across) from " + formatNumber(all.nearest) + " to " +
                formatNumber(all.farthest) + " units away; nearest, the player's " + std::to_string(DepthBufferBits) +
                "-bit depth buffer over " + formatNumber(NearPlane) + " to " + formatNumber(FarPlane) +
                " tells apart surfaces " + formatNumber(gap) + " units (a thousandth of its size) apart at a scale of " +
                formatNumber(resolving) + " or less" +
                (resolved > gap * (1 + 1e-9) ? "; nearer than twice the near plane it cannot, and tells apart " +
                                                   formatNumber(resolved) + " units"
                                             : "") +
                " (--scale 1 keeps its size)");
        } else if (power != 0) {
            show_.notes.push_back("scaled by " + plainNumber(factor) + " to fit the player's depth range: the cameras "
                                  "see the model from " + formatNumber(all.nearest) + " to " + formatNumber(all.farthest) +
                                  " units away, the player draws from " + formatNumber(NearPlane) + " to " +
                                  formatNumber(FarPlane) + " (--scale 1 keeps its size)");
        }
    } else if (factor != 1) {
        show_.notes.push_back("scaled by " + plainNumber(factor) + " (--scale)");
    }
    for (size_t c = 0; c < views_.size(); ++c) {
        if (!views_[c].own)
            continue;
        std::vector<int> frames;
        for (const Depths& d : perFrame[c])
            if (d.nearest <= d.farthest && (d.nearest * factor < NearPlane || d.farthest * factor > FarPlane))
                frames.push_back(d.frame);
        if (!frames.empty())
            show_.warnings.push_back("camera " + quoted(views_[c].name) + ": sees the model nearer than the player's near "
                                     "plane (" + formatNumber(NearPlane) + ") or farther than its far plane (" +
                                     formatNumber(FarPlane) + ") at frame" + (frames.size() > 1 ? "s " : " ") +
                                     frameList(frames) + ", where its own range shows it; that part is cut off");
    }
    return factor;
}

// Multiplies every position, vertex and morph key of the scene by factor, and the distances
// the summary reports with them.
void Importer::scaleScene(double factor)
{
    for (NodeSpec& node : show_.scene.nodes)
        scaleNode(node, float(factor));
    for (TrackReport& track : show_.tracks)
        if (std::string(track.unit) == "units")
            track.largest *= factor, track.tolerance *= factor;
}

} // namespace gltf_import

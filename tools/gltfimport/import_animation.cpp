#include "importer.h"

#include "import_names.h"
#include "key_fitting.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gltf_import {

namespace {

Trs staticTrs(const tinygltf::Node& node, bool& shear)
{
    Trs trs;
    shear = false;
    if (node.matrix.size() == 16) {
        Mat4 m;
        for (int i = 0; i < 16; ++i)
            m[size_t(i)] = node.matrix[size_t(i)];
        shear = !decompose(m, trs);
        return trs;
    }
    if (node.translation.size() == 3)
        trs.t = {node.translation[0], node.translation[1], node.translation[2]};
    if (node.rotation.size() == 4)
        trs.r = {node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]};
    if (node.scale.size() == 3)
        trs.s = {node.scale[0], node.scale[1], node.scale[2]};
    return trs;
}

} // namespace

const SamplerData& Importer::sampler(int animation, int index)
{
    auto key = std::make_pair(animation, index);
    auto found = samplers_.find(key);
    if (found != samplers_.end())
        return found->second;
    const tinygltf::Animation& anim = model_.animations[size_t(animation)];
    const std::string name = "animation " + quoted(anim.name) + " sampler " + std::to_string(index);
    if (index < 0 || size_t(index) >= anim.samplers.size())
        fail(name + " does not exist");
    const tinygltf::AnimationSampler& s = anim.samplers[size_t(index)];
    SamplerData data;
    int n = 0;
    data.input = accessor(s.input, n);
    if (n != 1 || data.input.empty())
        fail(name + " has no key times");
    for (size_t i = 1; i < data.input.size(); ++i)
        if (data.input[i] < data.input[i - 1])
            fail(name + " has key times that go backwards");
    if (data.input[0] < 0)
        fail(name + " has a negative key time");
    if (data.input.back() > maxSeconds)
        fail(name + " lasts more than an hour, longer than the importer takes");
    data.output = accessor(s.output, n);
    data.interpolation = s.interpolation == "STEP" ? 0 : s.interpolation == "CUBICSPLINE" ? 2 : 1;
    const size_t perKey = data.interpolation == 2 ? 3 : 1;
    if (data.output.size() % (data.input.size() * perKey) != 0 || data.output.empty())
        fail(name + " has " + std::to_string(data.output.size()) + " output values for " +
             std::to_string(data.input.size()) + " key times");
    data.components = int(data.output.size() / (data.input.size() * perKey));
    return samplers_[key] = std::move(data);
}

std::vector<double> Importer::sample(const SamplerData& s, double time, bool rotation) const
{
    const int c = s.components;
    const size_t keys = s.input.size();
    const int perKey = s.interpolation == 2 ? 3 : 1;
    const int valueAt = s.interpolation == 2 ? 1 : 0;
    auto value = [&](size_t k, int part) { return &s.output[(k * perKey + part) * c]; };
    std::vector<double> out(static_cast<size_t>(c));
    if (time <= s.input[0] || keys == 1) {
        std::copy(value(0, valueAt), value(0, valueAt) + c, out.begin());
        return out;
    }
    // Key times are floats: a frame's time read as a double may fall a hair before the key
    // it is on, which would hold a step's previous value for a whole frame.
    const double onKey = 1e-6;
    if (time + onKey >= s.input[keys - 1]) {
        std::copy(value(keys - 1, valueAt), value(keys - 1, valueAt) + c, out.begin());
        return out;
    }
    size_t k = size_t(std::upper_bound(s.input.begin(), s.input.end(), time + onKey) - s.input.begin()) - 1;
    double t0 = s.input[k], t1 = s.input[k + 1];
    double dt = t1 - t0;
    double u = dt > 0 ? std::clamp((time - t0) / dt, 0.0, 1.0) : 0.0;
    if (s.interpolation == 0) {
        std::copy(value(k, 0), value(k, 0) + c, out.begin());
        return out;
    }
    if (s.interpolation == 2) {
        double u2 = u * u, u3 = u2 * u;
        double h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
        const double* p0 = value(k, 1);
        const double* m0 = value(k, 2);
        const double* p1 = value(k + 1, 1);
        const double* m1 = value(k + 1, 0);
        for (int i = 0; i < c; ++i)
            out[size_t(i)] = h00 * p0[i] + h10 * dt * m0[i] + h01 * p1[i] + h11 * dt * m1[i];
    } else if (rotation && c == 4) {
        const double* a = value(k, 0);
        const double* b = value(k + 1, 0);
        double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
        double sign = d < 0 ? -1.0 : 1.0;
        d = std::fabs(d);
        double wa = 1 - u, wb = u;
        if (d < 0.9995) {
            double angle = std::acos(std::min(d, 1.0));
            double sn = std::sin(angle);
            wa = std::sin((1 - u) * angle) / sn;
            wb = std::sin(u * angle) / sn;
        }
        for (int i = 0; i < 4; ++i)
            out[size_t(i)] = wa * a[i] + sign * wb * b[i];
    } else {
        const double* a = value(k, 0);
        const double* b = value(k + 1, 0);
        for (int i = 0; i < c; ++i)
            out[size_t(i)] = a[i] + (b[i] - a[i]) * u;
    }
    if (rotation && c == 4) {
        double l = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        if (l > 0)
            for (double& v : out)
                v /= l;
    }
    return out;
}

void Importer::setUpAnimations()
{
    std::vector<int> chosen;
    if (options_.animation == "all") {
        for (size_t i = 0; i < model_.animations.size(); ++i)
            chosen.push_back(int(i));
    } else if (!options_.animation.empty()) {
        for (size_t i = 0; i < model_.animations.size(); ++i)
            if (model_.animations[i].name == options_.animation)
                chosen.push_back(int(i));
        if (chosen.empty())
            fail("has no animation named " + quoted(options_.animation));
        chosen.resize(1);
    } else if (!model_.animations.empty()) {
        chosen.push_back(0);
        if (model_.animations.size() > 1)
            show_.notes.push_back("the model has " + std::to_string(model_.animations.size()) +
                                  " animations; imported the first (--animation NAME or all for others)");
    }
    int offset = 0;
    for (int a : chosen) {
        const tinygltf::Animation& anim = model_.animations[size_t(a)];
        double length = 0;
        for (size_t c = 0; c < anim.channels.size(); ++c) {
            const tinygltf::AnimationChannel& ch = anim.channels[c];
            const SamplerData& s = sampler(a, ch.sampler);
            length = std::max(length, s.input.back());
        }
        Segment seg;
        seg.animation = a;
        seg.offset = offset;
        double frames = std::round(length * options_.fps);
        if (frames > maxSeconds * 30)
            fail("animation " + quoted(anim.name) + " has more frames than an hour at 30 per second");
        seg.frames = int(frames) + 1;
        offset += seg.frames;
        segments_.push_back(seg);
    }
    frames_ = std::max(1, offset);
    for (size_t si = 0; si < segments_.size(); ++si) {
        const tinygltf::Animation& anim = model_.animations[size_t(segments_[si].animation)];
        for (size_t c = 0; c < anim.channels.size(); ++c) {
            const tinygltf::AnimationChannel& ch = anim.channels[c];
            if (ch.target_node < 0 || size_t(ch.target_node) >= model_.nodes.size()) {
                warnOnce("channel-node", "animation " + quoted(anim.name) + ": a channel names no node, ignored");
                continue;
            }
            const std::string& path = ch.target_path;
            if (path != "translation" && path != "rotation" && path != "scale" && path != "weights") {
                warnOnce("path " + path, "animation " + quoted(anim.name) + ": animating " + path + " is not supported, ignored");
                continue;
            }
            const SamplerData& s = sampler(segments_[si].animation, ch.sampler);
            int want = path == "rotation" ? 4 : path == "weights" ? -1 : 3;
            if (want > 0 && s.components != want)
                fail("animation " + quoted(anim.name) + " gives " + path + " with " + std::to_string(s.components) +
                     " components");
            std::vector<int>& list = channels_[{ch.target_node, path}];
            list.resize(segments_.size(), -1);
            list[si] = int(c);
        }
    }
    show_.frames = frames_;
}

int Importer::segmentOf(int frame) const
{
    for (size_t i = 0; i < segments_.size(); ++i)
        if (frame < segments_[i].offset + segments_[i].frames)
            return int(i);
    return segments_.empty() ? -1 : int(segments_.size()) - 1;
}

int Importer::channelFor(int node, const char* path, int segment) const
{
    if (segment < 0)
        return -1;
    auto found = channels_.find({node, path});
    if (found == channels_.end())
        return -1;
    return found->second[size_t(segment)];
}

Trs Importer::localAt(int node, int frame)
{
    bool shear = false;
    Trs trs = staticTrs(model_.nodes[size_t(node)], shear);
    int seg = segmentOf(frame);
    if (seg < 0)
        return trs;
    const Segment& s = segments_[size_t(seg)];
    double time = double(frame - s.offset) / options_.fps;
    const tinygltf::Animation& anim = model_.animations[size_t(s.animation)];
    int c = channelFor(node, "translation", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, false);
        trs.t = {v[0], v[1], v[2]};
    }
    c = channelFor(node, "rotation", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, true);
        trs.r = {v[0], v[1], v[2], v[3]};
    }
    c = channelFor(node, "scale", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, false);
        trs.s = {v[0], v[1], v[2]};
    }
    return trs;
}

Mat4 Importer::worldAt(int node, int frame)
{
    Mat4 m = identity4();
    int steps = 0;
    for (int n = node; n >= 0 && steps <= maxDepth * 4; n = parent_[size_t(n)], ++steps)
        m = multiply(trsMatrix(localAt(n, frame)), m);
    return m;
}

std::vector<double> Importer::weightsAt(int node, int frame, const MeshData& mesh)
{
    std::vector<double> w = mesh.defaultWeights;
    const tinygltf::Node& n = model_.nodes[size_t(node)];
    if (!n.weights.empty())
        w = n.weights;
    w.resize(mesh.targets.size(), 0.0);
    int seg = segmentOf(frame);
    int c = channelFor(node, "weights", seg);
    if (c >= 0) {
        const Segment& s = segments_[size_t(seg)];
        const tinygltf::Animation& anim = model_.animations[size_t(s.animation)];
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), double(frame - s.offset) / options_.fps, false);
        for (size_t i = 0; i < w.size() && i < v.size(); ++i)
            w[i] = v[i];
    }
    return w;
}

int Importer::keysIn(int node, const char* path) const
{
    int keys = 0;
    auto found = channels_.find({node, path});
    for (size_t si = 0; found != channels_.end() && si < segments_.size(); ++si) {
        int c = found->second[si];
        if (c < 0)
            continue;
        const tinygltf::Animation& anim = model_.animations[size_t(segments_[si].animation)];
        keys += int(samplers_.at({segments_[si].animation, anim.channels[size_t(c)].sampler}).input.size());
    }
    return keys;
}

std::vector<int> Importer::keyFramesOf(int node, const char* path, bool besides) const
{
    std::vector<int> frames;
    auto found = channels_.find({node, path});
    if (found == channels_.end())
        return frames;
    for (size_t si = 0; si < segments_.size(); ++si) {
        int c = found->second[si];
        if (c < 0)
            continue;
        const Segment& seg = segments_[si];
        const tinygltf::Animation& anim = model_.animations[size_t(seg.animation)];
        const SamplerData& s = samplers_.at({seg.animation, anim.channels[size_t(c)].sampler});
        frames.push_back(seg.offset);
        frames.push_back(seg.offset + seg.frames - 1);
        for (size_t i = 0; i < s.input.size(); ++i) {
            int f = seg.offset + std::min(seg.frames - 1, int(std::lround(s.input[i] * options_.fps)));
            // The curve holds still before its first key and after its last.
            const bool inner = f > seg.offset && f < seg.offset + seg.frames - 1;
            frames.push_back(f);
            // A linear curve turns sharply at its keys, and a step jumps there: keys on the
            // frames beside them (two before a step, which holds its value up to the frame
            // before the key) keep the spline from overshooting on the way.
            const int last = seg.offset + seg.frames - 1;
            const bool step = s.interpolation == 0;
            if ((step || (besides && inner && s.interpolation == 1)) && f > seg.offset)
                frames.push_back(f - 1);
            if (step && f - 1 > seg.offset)
                frames.push_back(f - 2);
            if ((step || (besides && inner && s.interpolation == 1)) && f < last)
                frames.push_back(f + 1);
        }
    }
    return frames;
}

std::vector<int> Importer::allKeyFrames() const
{
    std::vector<int> frames;
    for (const auto& entry : channels_) {
        std::vector<int> more = keyFramesOf(entry.first.first, entry.first.second.c_str(), false);
        frames.insert(frames.end(), more.begin(), more.end());
    }
    return frames;
}

double Importer::vectorTolerance(const std::vector<Vector3>& samples) const
{
    Vector3 lo = samples[0], hi = samples[0];
    for (const Vector3& v : samples) {
        lo = Vector3(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
        hi = Vector3(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    }
    double range = std::max({double(hi.x - lo.x), double(hi.y - lo.y), double(hi.z - lo.z)});
    return std::max(1e-4, options_.tolerance * range);
}

void Importer::convertTransform(int index, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    bool shear = false;
    staticTrs(node, shear);
    if (shear)
        show_.warnings.push_back("node " + quoted(spec.name) + ": its matrix holds a shear, which the player cannot draw; kept its rotation and scale");
    const bool animated = channels_.count({index, "translation"}) || channels_.count({index, "rotation"}) ||
                          channels_.count({index, "scale"});
    const int n = animated ? frames_ : 1;
    std::vector<Vector3> positions(static_cast<size_t>(n)), scales(static_cast<size_t>(n));
    std::vector<Quaternion> rotations(static_cast<size_t>(n));
    for (int f = 0; f < n; ++f) {
        Trs trs = localAt(index, f);
        positions[size_t(f)] = toPlayer(trs.t);
        scales[size_t(f)] = Vector3(float(trs.s.x), float(trs.s.z), float(trs.s.y));
        Quaternion q = toPlayerRotation(trs.r);
        if (f > 0) {
            const Quaternion& p = rotations[size_t(f - 1)];
            if (p.w * q.w + p.x * q.x + p.y * q.y + p.z * q.z < 0)
                q = Quaternion(-q.w, -q.x, -q.y, -q.z);
        }
        rotations[size_t(f)] = q;
    }
    auto report = [&](const char* property, const FitResult& r, double tolerance, const char* unit) {
        const char* path = property[0] == 'p' ? "translation" : property;
        show_.tracks.push_back({spec.name, property, keysIn(index, path), r.keysOut, r.largest, tolerance, unit});
    };
    if (channels_.count({index, "translation"})) {
        double tol = vectorTolerance(positions);
        report("position", fitVectorTrack(positions, keyFramesOf(index, "translation"), tol, spec.position), tol, "units");
    } else {
        spec.position.keys = {{0, positions[0]}};
    }
    if (channels_.count({index, "rotation"})) {
        double tol = rotationTolerance();
        report("rotation", fitRotationTrack(rotations, keyFramesOf(index, "rotation"), tol, spec.rotation), tol, "degrees");
    } else {
        spec.rotation.keys = {{0, rotations[0]}};
    }
    if (channels_.count({index, "scale"}) && hidesByScale(index, scales, spec)) {
        show_.tracks.push_back({spec.name, "visibility", keysIn(index, "scale"), int(spec.visibility.size()), 0.0, 0.0, ""});
    } else if (channels_.count({index, "scale"})) {
        double tol = vectorTolerance(scales);
        report("scale", fitVectorTrack(scales, keyFramesOf(index, "scale"), tol, spec.scale), tol, "units");
    } else {
        spec.scale.keys = {{0, scales[0]}};
    }
}

// A mesh without children that a STEP scale shows at one size and hides at zero: the
// player hides it by its visibility track instead (its toggles at the frames where it
// changes, from visible), with the one size as its scale. False for any other scale track.
bool Importer::hidesByScale(int index, const std::vector<Vector3>& scales, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    if (spec.type != NodeType::Mesh || !node.children.empty())
        return false;
    const std::vector<int>& list = channels_.at({index, "scale"});
    for (size_t si = 0; si < segments_.size(); ++si) {
        if (list[si] < 0)
            continue;
        const Segment& seg = segments_[si];
        const tinygltf::Animation& anim = model_.animations[size_t(seg.animation)];
        if (sampler(seg.animation, anim.channels[size_t(list[si])].sampler).interpolation != 0)
            return false;
    }
    const Vector3 zero(0.0f, 0.0f, 0.0f);
    const Vector3* shown = nullptr;
    bool hidden = false;
    for (const Vector3& s : scales) {
        if (s == zero)
            hidden = true;
        else if (!shown)
            shown = &s;
        else if (!(s == *shown))
            return false;
    }
    if (!hidden || !shown)
        return false;
    std::vector<int32_t> toggles;
    bool visible = true;
    for (size_t f = 0; f < scales.size(); ++f)
        if ((scales[f] == zero) == visible) {
            toggles.push_back(int32_t(f));
            visible = !visible;
        }
    // The player never toggles on a track of one key: hidden for good means hidden until
    // a frame no show reaches.
    if (toggles.size() == 1)
        toggles.push_back(std::numeric_limits<int32_t>::max());
    spec.visibility = toggles;
    spec.scale.keys = {{0, *shown}};
    return true;
}

} // namespace gltf_import

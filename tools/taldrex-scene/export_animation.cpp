#include "exporter.h"

#include "graph/spot_node.h"
#include "graph/transform_node.h"

#include <algorithm>

namespace gltf_export {

namespace {

// A quaternion as glTF stores it, (x, y, z, w), from a rotation matrix given by its columns.
std::array<float, 4> quaternionOfColumns(const Vector3& x, const Vector3& y, const Vector3& z)
{
    const double m00 = x.x, m10 = x.y, m20 = x.z;
    const double m01 = y.x, m11 = y.y, m21 = y.z;
    const double m02 = z.x, m12 = z.y, m22 = z.z;
    double qw, qx, qy, qz;
    const double trace = m00 + m11 + m22;
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        qw = 0.25 * s;
        qx = (m21 - m12) / s;
        qy = (m02 - m20) / s;
        qz = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2.0;
        qw = (m21 - m12) / s;
        qx = 0.25 * s;
        qy = (m01 + m10) / s;
        qz = (m02 + m20) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2.0;
        qw = (m02 - m20) / s;
        qx = (m01 + m10) / s;
        qy = 0.25 * s;
        qz = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2.0;
        qw = (m10 - m01) / s;
        qx = (m02 + m20) / s;
        qy = (m12 + m21) / s;
        qz = 0.25 * s;
    }
    const double length = std::sqrt(qw * qw + qx * qx + qy * qy + qz * qz);
    return {float(qx / length), float(qy / length), float(qz / length), float(qw / length)};
}

// A unit quaternion: glTF wants rotations of length 1; the player uses them unnormalised
// (a track's curve stays within rounding of length 1). Zero becomes the identity.
std::array<float, 4> unit(std::array<float, 4> q)
{
    const double length = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3]);
    if (!(length > 0.0) || !std::isfinite(length))
        return {0, 0, 0, 1};
    for (float& c : q)
        c = static_cast<float>(c / length);
    return q;
}

// The view a camera's glTF node takes: it looks down its -Z with +Y up, from the eye.
std::array<float, 4> viewRotation(const CameraLook& view)
{
    const Vector3 f = normalised(ToGltfAxes(view.centre - view.eye));
    Vector3 s = normalised(cross(f, ToGltfAxes(view.up)));
    const Vector3 u = cross(s, f);
    return quaternionOfColumns(s, u, f * -1.0f);
}

} // namespace

void Exporter::sample()
{
    const int last = LastKeyFrame(scene_);
    summary_.lastFrame = last;
    // Whole steps of 1 / fps seconds, the last one shortened to end on the last key.
    const int samples = (last * options_.fps + 29) / 30 + 1;
    summary_.samples = samples;
    Vector3Array rest;
    for (int k = 0; k < samples; ++k) {
        const double at = std::min(double(k) * 30.0 / options_.fps, double(last));
        const float frame = static_cast<float>(at);
        times_.push_back(static_cast<float>(at / 30.0));
        scene_.evaluateNodes(frame);
        for (Exported& e : exported_)
            take(e, frame, rest);
    }
}

void Exporter::take(Exported& e, float frame, const Vector3Array& rest)
{
    Node& node = *e.node;
    switch (node.kind) {
    case NodeKind::Mesh: {
        auto& mesh = static_cast<MeshNode&>(node);
        takeTransform(e, mesh.visibilityTrack.visible, frame, mesh.rotationTrack, mesh.scaleTrack);
        e.shownScale.push_back(mesh.visibilityTrack.visible ? 1.0f : 0.0f);
        if (e.weights > 0) {
            // The shape of the last visible evaluation, as the player draws it.
            const Vector3Array& w = e.basis.evaluate(mesh.evalTime, rest);
            for (int i = 0; i < e.weights; ++i)
                e.morphWeights.push_back(w[e.firstTarget + i].x);
        }
        break;
    }
    case NodeKind::Transform: {
        auto& transform = static_cast<TransformNode&>(node);
        takeTransform(e, transform.visibilityTrack.visible, frame, transform.rotationTrack, transform.scaleTrack);
        break;
    }
    case NodeKind::Light: {
        auto& light = static_cast<LightNode&>(node);
        takeTransform(e, true, frame, light.rotationTrack, light.scaleTrack);
        e.lightAt.push_back(ToGltfAxes(light.position));
        break;
    }
    case NodeKind::Camera: {
        auto& camera = static_cast<CameraNode&>(node);
        e.translation.push_back(ToGltfAxes(camera.position));
        e.rotation.push_back({0, 0, 0, 1});
        e.scale.push_back({1, 1, 1});
        takeView(e, camera, frame);
        break;
    }
    case NodeKind::Target:
        e.translation.push_back(ToGltfAxes(node.position));
        break;
    case NodeKind::Spot:
        // A spot never moves in the player; its track is the maker's data all the same.
        e.translation.push_back(ToGltfAxes(node.positionTrack.evaluate(frame)));
        break;
    case NodeKind::Scene:
        break;
    }
}

void Exporter::takeTransform(Exported& e, bool visible, float frame, RotationTrack& rotation, VectorTrack& scale)
{
    if (!visible) {
        e.translation.push_back(e.translation.empty() ? Vector3() : e.translation.back());
        e.rotation.push_back(e.rotation.empty() ? std::array<float, 4>{0, 0, 0, 1} : e.rotation.back());
        e.scale.push_back(e.scale.empty() ? Vector3(1, 1, 1) : e.scale.back());
        return;
    }
    e.translation.push_back(ToGltfAxes(e.node->position));
    std::array<float, 4> q = unit(ToGltfRotation(rotation.evaluate(frame)));
    // The same turn either sign; the nearer keeps glTF's interpolation on the short way.
    if (!e.rotation.empty()) {
        const auto& p = e.rotation.back();
        if (p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3] < 0.0f)
            for (float& c : q)
                c = -c;
    }
    e.rotation.push_back(q);
    e.scale.push_back(ToGltfScale(scale.evaluate(frame)));
}

void Exporter::takeView(Exported& e, CameraNode& camera, float frame)
{
    CameraLook view;
    if (camera.viewAt(frame, view)) {
        e.viewAt.push_back(ToGltfAxes(view.eye));
        e.viewTurn.push_back(viewRotation(view));
    } else if (!e.viewAt.empty()) {
        e.viewAt.push_back(e.viewAt.back());
        e.viewTurn.push_back(e.viewTurn.back());
    } else {
        e.viewAt.push_back(ToGltfAxes(camera.positionTrack.evaluate(frame)));
        e.viewTurn.push_back({0, 0, 0, 1});
    }
}

template <typename T>
bool Exporter::changes(const std::vector<T>& samples)
{
    for (const T& s : samples)
        if (!(s == samples.front()))
            return true;
    return false;
}

std::vector<float> Exporter::flat(const std::vector<Vector3>& samples)
{
    std::vector<float> out;
    for (const Vector3& v : samples)
        push(out, v);
    return out;
}

std::vector<float> Exporter::flat(const std::vector<std::array<float, 4>>& samples)
{
    std::vector<float> out;
    for (const auto& q : samples)
        out.insert(out.end(), q.begin(), q.end());
    return out;
}

void Exporter::channel(tinygltf::Animation& animation, int node, const std::string& path, const std::vector<float>& values,
             int components, const char* interpolation)
{
    if (timesAccessor_ < 0)
        timesAccessor_ = addFloats(times_, 1, true);
    tinygltf::AnimationSampler sampler;
    sampler.input = timesAccessor_;
    sampler.output = addFloats(values, components, false);
    sampler.interpolation = interpolation;
    animation.samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
    channel.target_node = node;
    channel.target_path = path;
    animation.channels.push_back(channel);
}

void Exporter::transform(tinygltf::Animation& animation, int node, const std::vector<Vector3>& translation,
               const std::vector<std::array<float, 4>>& rotation, const std::vector<Vector3>& scale)
{
    tinygltf::Node& gltf = model_.nodes[node];
    if (!translation.empty()) {
        if (changes(translation))
            channel(animation, node, "translation", flat(translation), 3, "LINEAR");
        else if (translation.front() != Vector3())
            gltf.translation = {translation.front().x, translation.front().y, translation.front().z};
    }
    if (!rotation.empty()) {
        if (changes(rotation))
            channel(animation, node, "rotation", flat(rotation), 4, "LINEAR");
        else if (rotation.front() != std::array<float, 4>{0, 0, 0, 1})
            gltf.rotation = {rotation.front()[0], rotation.front()[1], rotation.front()[2], rotation.front()[3]};
    }
    if (!scale.empty()) {
        if (changes(scale))
            channel(animation, node, "scale", flat(scale), 3, "LINEAR");
        else if (scale.front() != Vector3(1, 1, 1))
            gltf.scale = {scale.front().x, scale.front().y, scale.front().z};
    }
}

void Exporter::animate()
{
    tinygltf::Animation animation;
    animation.name = "taldrex";
    for (Exported& e : exported_) {
        if (e.gltf >= 0)
            transform(animation, e.gltf, e.translation, e.rotation, e.scale);
        if (e.view >= 0)
            transform(animation, e.view, e.viewAt, e.viewTurn, {});
        if (e.light >= 0)
            transform(animation, e.light, e.lightAt, {}, {});
        if (e.shown >= 0) {
            if (changes(e.shownScale)) {
                std::vector<float> scales;
                for (float s : e.shownScale)
                    scales.insert(scales.end(), {s, s, s});
                channel(animation, e.shown, "scale", scales, 3, "STEP");
            } else if (e.shownScale.front() == 0.0f) {
                model_.nodes[e.shown].scale = {0, 0, 0};
            }
        }
        if (e.weights > 0) {
            tinygltf::Mesh& mesh = model_.meshes[model_.nodes[e.shown >= 0 ? e.shown : e.gltf].mesh];
            for (int i = 0; i < e.weights; ++i)
                mesh.weights[i] = e.morphWeights[i];
            if (changes(e.morphWeights))
                channel(animation, e.shown >= 0 ? e.shown : e.gltf, "weights", e.morphWeights, 1, "LINEAR");
        }
    }
    if (!animation.channels.empty())
        model_.animations.push_back(animation);
    for (Exported& e : exported_)
        model_.nodes[e.view >= 0 ? e.view : e.gltf].extras = taldrexExtras(e.extras);
}

} // namespace gltf_export

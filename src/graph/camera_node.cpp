#include "graph/camera_node.h"

#include "gpu/renderer.h"
#include "graph/player_facts.h"

#include <algorithm>
#include <cmath>
#include <vector>

CameraNode::CameraNode(Node* parent_) : Node(NodeKind::Camera, parent_) {}

void CameraNode::load(SceneReader& reader)
{
    readName(reader);
    positionTrack.read(reader);
    rollTrack.read(reader);
    fovTrack.read(reader);
    visibilityTrack.read(reader);
}

void CameraNode::prepare()
{
    positionTrack.prepare();
    fovTrack.prepare();
    rollTrack.prepare();
}

bool CameraNode::evaluate(float time, bool)
{
    position = positionTrack.evaluate(time);
    matrix = Matrix4::identity();
    matrix[12] = position.x;
    matrix[13] = position.y;
    matrix[14] = position.z;
    return true;
}

bool CameraNode::applyCamera(float time)
{
    Renderer& r = ActiveRenderer();
    CameraLook view;
    if (!viewAt(time, view))
        return false;
    r.matrixMode(GL_PROJECTION);
    r.loadIdentity();
    // Deliberate: every picture has the shape 83:65, whatever the window or band it is drawn
    // into (CameraView.AspectIsAlways83To65WhateverTheBand).
    r.perspective(view.fieldOfViewDegrees, FixedAspect, static_cast<double>(static_cast<float>(NearPlane)), FarPlane);
    r.lookAt(view.eye.x, view.eye.y, view.eye.z, view.centre.x, view.centre.y, view.centre.z, view.up.x, view.up.y,
              view.up.z);
    r.matrixMode(GL_MODELVIEW);
    r.loadIdentity();
    return true;
}

bool CameraNode::viewAt(float time, CameraLook& view)
{
    if (!target)
        return false;
    position = positionTrack.evaluate(time);
    target->evaluate(time, false);
    const Vector3 eye = position;
    const Vector3 centre = target->position;
    Vector3 n = centre - eye;
    float distance = std::sqrt(dot(n, n));
    if (!(distance > 0.0f))
        return false;
    n *= 1.0f / distance;
    // Looking straight along Z leaves no side vector; X stands in for it.
    Vector3 s(1.0f, 0.0f, 0.0f);
    float across = std::sqrt(n.x * n.x + n.y * n.y);
    if (across > 0.0f)
        s = Vector3(n.y, -n.x, 0.0f) * (1.0f / across);
    Vector3 u = cross(s, n);
    u *= 1.0f / std::sqrt(dot(u, u));
    // The roll turns the up vector about the world Z axis, not about the view direction,
    // so it shows only as far as the camera looks up or down.
    float roll = rollTrack.evaluate(time);
    float c = static_cast<float>(std::cos(static_cast<double>(roll)));
    float sn = static_cast<float>(std::sin(static_cast<double>(roll)));
    view.eye = eye;
    view.centre = centre;
    view.up = Vector3(c * u.x - sn * u.y, sn * u.x + c * u.y, u.z);
    view.fieldOfViewDegrees = fieldOfViewDegrees(time);
    return true;
}

double CameraNode::fieldOfViewDegrees(float time)
{
    return FieldOfViewDegrees(fovTrack.evaluate(time));
}

std::vector<int32_t> CameraCheckFrames(const CameraNode& camera)
{
    std::vector<int32_t> frames{0};
    for (const auto& key : camera.positionTrack.keys)
        frames.push_back(key->frame);
    for (const auto& key : camera.fovTrack.keys)
        frames.push_back(key->frame);
    if (camera.target)
        for (const auto& key : camera.target->positionTrack.keys)
            frames.push_back(key->frame);
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

CameraFaults FindCameraFaults(CameraNode& camera)
{
    CameraFaults faults;
    faults.noTarget = camera.target == nullptr;
    // In increasing time, so each track's cursor only steps forward.
    for (int32_t frame : CameraCheckFrames(camera)) {
        const float time = static_cast<float>(frame);
        if (camera.target && !faults.targetAtEye) {
            Vector3 d = camera.target->positionTrack.evaluate(time) - camera.positionTrack.evaluate(time);
            if (!(std::sqrt(dot(d, d)) > 0.0f)) {
                faults.targetAtEye = true;
                faults.targetAtEyeFrame = frame;
            }
        }
        if (!faults.fieldOfViewUnusable) {
            double degrees = camera.fieldOfViewDegrees(time);
            if (degrees == 0.0 || !std::isfinite(degrees)) {
                faults.fieldOfViewUnusable = true;
                faults.fieldOfViewFrame = frame;
                faults.fieldOfViewDegrees = degrees;
            }
        }
    }
    return faults;
}

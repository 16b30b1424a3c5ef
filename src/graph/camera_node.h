// CameraNode: an animated eye position with field of view and roll, looking at a target.
#pragma once

#include "anim/scalar_track.h"
#include "graph/node.h"
#include "graph/target_node.h"

#include <cstdint>
#include <vector>

class CameraNode;

// What makes a camera draw nothing (a black picture), looked for at frame 0 and at every
// key frame of the camera's position and field-of-view tracks and of its target's position.
struct CameraFaults {
    bool noTarget = false;
    bool targetAtEye = false; // the target is not apart from the eye
    int32_t targetAtEyeFrame = 0;
    bool fieldOfViewUnusable = false; // 0, not a number or infinite
    int32_t fieldOfViewFrame = 0;
    double fieldOfViewDegrees = 0.0;
    // No vertex of the scene's meshes inside the view volume at any of those frames; the
    // scene finds it (FindCameraFaults leaves it false).
    bool seesNothing = false;
};

// The first frame of each fault of camera; moves the cursors of the tracks it evaluates.
CameraFaults FindCameraFaults(CameraNode& camera);

// The frames those faults are looked for at: 0 and every key frame of the camera's position
// and field-of-view tracks and of its target's position, in increasing order, each once.
std::vector<int32_t> CameraCheckFrames(const CameraNode& camera);

// What a camera sees at a time: the eye, the point looked at, the up vector after the roll
// (as the look-at takes it) and the vertical field of view in degrees.
struct CameraLook {
    Vector3 eye;
    Vector3 centre;
    Vector3 up;
    double fieldOfViewDegrees = 0.0;
};

class CameraNode : public Node {
public:
    explicit CameraNode(Node* parent);

    // Reads the name, then the position, roll, field-of-view and visibility tracks.
    void load(SceneReader& reader) override;
    // Prepares the position, field-of-view and roll tracks.
    void prepare() override;
    // Evaluates the position; the matrix becomes a pure translation to it. Never hidden.
    bool evaluate(float time, bool checkVisibility) override;

    // Loads the projection matrix with the perspective of the field of view at time (a
    // fixed 83:65 aspect, whatever the viewport) and the look-at from the position to the
    // target with the up vector rolled about the world Z axis, then selects the model-view
    // matrix and loads the identity. Evaluates the position and the target's position
    // first. Returns false, touching no OpenGL state, when there is no target or the
    // camera sits on it.
    bool applyCamera(float time);
    // The view applyCamera sets up at time, without touching OpenGL. Evaluates the position
    // and the target's position; false (view unchanged) when there is no target or the
    // camera sits on it.
    bool viewAt(float time, CameraLook& view);
    // The vertical field of view in degrees at time, as the projection takes it. Moves the
    // field-of-view track's cursor.
    double fieldOfViewDegrees(float time);

    // Field of view: the value times 360 / pi is the angle in degrees.
    ScalarTrack fovTrack;
    // Roll angle in radians.
    ScalarTrack rollTrack;
    // The same-named sibling target, set by the scene's link pass; null until then.
    TargetNode* target = nullptr;
};

// CameraNode: an animated eye position with field of view and roll, looking at a target.
#pragma once

#include "anim/scalar_track.h"
#include "graph/node.h"
#include "graph/target_node.h"

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

    // Field of view: the value times 360 / pi is the angle in degrees.
    ScalarTrack fovTrack;
    // Roll angle in radians.
    ScalarTrack rollTrack;
    // The same-named sibling target, set by the scene's link pass; null until then.
    TargetNode* target = nullptr;
};

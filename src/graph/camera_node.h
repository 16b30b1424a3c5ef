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

    // Field of view: the value times 360 / pi is the angle in degrees.
    ScalarTrack fovTrack;
    // Roll angle in radians.
    ScalarTrack rollTrack;
    // The same-named sibling target, set by the scene's link pass; null until then.
    TargetNode* target = nullptr;
};

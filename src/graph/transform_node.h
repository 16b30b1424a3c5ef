// TransformNode: an invisible animated transform that its children move, turn and scale with.
#pragma once

#include "graph/node.h"

class TransformNode : public Node {
public:
    explicit TransformNode(Node* parent);

    // Reads the name, then the position, rotation, scale and visibility tracks.
    void load(SceneReader& reader) override;
    // Prepares the position, rotation and scale tracks.
    void prepare() override;
    // Composes the matrix unless the visibility check hides the node (then returns false and
    // the last visible matrix stays, so hiding a transform node hides none of its children).
    bool evaluate(float time, bool checkVisibility) override;

    RotationTrack rotationTrack;
    VectorTrack scaleTrack{Vector3(1.0f, 1.0f, 1.0f)};
};

// SpotNode: a coloured node with a target and two scalar tracks; it lights nothing.
#pragma once

#include "anim/scalar_track.h"
#include "graph/node.h"
#include "graph/target_node.h"

class SpotNode : public Node {
public:
    explicit SpotNode(Node* parent);

    // Reads the name, colour, position track, both scalar tracks and the visibility track.
    void load(SceneReader& reader) override;
    // Prepares the position track, then the first and the second scalar track.
    void prepare() override;
    // Does nothing: position stays (0, 0, 0) and the matrix the identity.
    bool evaluate(float time, bool checkVisibility) override;

    Vector3 colour{1.0f, 1.0f, 1.0f};
    ScalarTrack firstTrack;
    ScalarTrack secondTrack;
    // The same-named sibling target, set by the scene's link pass; null until then.
    TargetNode* target = nullptr;
};

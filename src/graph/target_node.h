// TargetNode: a plain animated position that cameras and spot nodes look at.
#pragma once

#include "graph/node.h"

class TargetNode : public Node {
public:
    explicit TargetNode(Node* parent);

    // Reads the name and the position track.
    void load(SceneReader& reader) override;
    // Prepares the position track.
    void prepare() override;
    // Evaluates the position only; the matrix stays the identity. Visibility plays no part.
    bool evaluate(float time, bool checkVisibility) override;
};

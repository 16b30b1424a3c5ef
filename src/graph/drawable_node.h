// DrawableNode: the base of the node kinds the draw passes may draw (meshes and lights).
#pragma once

#include "graph/node.h"

class DrawableNode : public Node {
public:
    using Node::Node;

    bool isDrawable() const override { return true; }
    // Draws the node under the current OpenGL matrix.
    virtual void render() = 0;
};

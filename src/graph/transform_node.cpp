#include "graph/transform_node.h"

TransformNode::TransformNode(Node* parent_) : Node(NodeKind::Transform, parent_) {}

void TransformNode::load(SceneReader& reader)
{
    readName(reader);
    positionTrack.read(reader);
    rotationTrack.read(reader);
    scaleTrack.read(reader);
    visibilityTrack.read(reader);
}

void TransformNode::prepare()
{
    positionTrack.prepare();
    rotationTrack.prepare();
    scaleTrack.prepare();
}

bool TransformNode::evaluate(float time, bool checkVisibility)
{
    if (checkVisibility && !visibilityTrack.evaluate(time))
        return false;
    composeMatrix(time, rotationTrack, scaleTrack);
    return true;
}

#include "graph/target_node.h"

TargetNode::TargetNode(Node* parent_) : Node(NodeKind::Target, parent_) {}

void TargetNode::load(SceneReader& reader)
{
    readName(reader);
    positionTrack.read(reader);
}

void TargetNode::prepare()
{
    positionTrack.prepare();
}

bool TargetNode::evaluate(float time, bool)
{
    position = positionTrack.evaluate(time);
    return true;
}

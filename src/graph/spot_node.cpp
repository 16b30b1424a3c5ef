#include "graph/spot_node.h"

#include "common/scene_reader.h"

SpotNode::SpotNode(Node* parent_) : Node(NodeKind::Spot, parent_) {}

void SpotNode::load(SceneReader& reader)
{
    readName(reader);
    reader.readFloat32(colour.x);
    reader.readFloat32(colour.y);
    reader.readFloat32(colour.z);
    positionTrack.read(reader);
    firstTrack.read(reader);
    secondTrack.read(reader);
    visibilityTrack.read(reader);
}

void SpotNode::prepare()
{
    positionTrack.prepare();
    firstTrack.prepare();
    secondTrack.prepare();
}

bool SpotNode::evaluate(float, bool)
{
    return true;
}

#include "graph/light_node.h"

#include "scene/scene_reader.h"

LightNode::LightNode(Node* parent_) : DrawableNode(NodeKind::Light, parent_) {}

void LightNode::load(SceneReader& reader)
{
    readName(reader);
    reader.readFloat32(colour.x);
    reader.readFloat32(colour.y);
    reader.readFloat32(colour.z);
    positionTrack.read(reader);
    rotationTrack.read(reader);
    scaleTrack.read(reader);
    visibilityTrack.read(reader);
}

void LightNode::prepare()
{
    positionTrack.prepare();
    rotationTrack.prepare();
    scaleTrack.prepare();
}

bool LightNode::evaluate(float time, bool)
{
    composeMatrix(time, rotationTrack, scaleTrack);
    return true;
}

#include "graph/camera_node.h"

CameraNode::CameraNode(Node* parent_) : Node(NodeKind::Camera, parent_) {}

void CameraNode::load(SceneReader& reader)
{
    readName(reader);
    positionTrack.read(reader);
    rollTrack.read(reader);
    fovTrack.read(reader);
    visibilityTrack.read(reader);
}

void CameraNode::prepare()
{
    positionTrack.prepare();
    fovTrack.prepare();
    rollTrack.prepare();
}

bool CameraNode::evaluate(float time, bool)
{
    position = positionTrack.evaluate(time);
    matrix = Matrix4::identity();
    matrix[12] = position.x;
    matrix[13] = position.y;
    matrix[14] = position.z;
    return true;
}

#include "graph/node.h"

#include "common/ascii_case.h"
#include "common/scene_reader.h"

const char* NodeKindName(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Scene: return "scene";
    case NodeKind::Mesh: return "mesh";
    case NodeKind::Camera: return "camera";
    case NodeKind::Target: return "target";
    case NodeKind::Spot: return "spot";
    case NodeKind::Light: return "light";
    case NodeKind::Transform: return "transform";
    }
    return "unknown";
}

Node::Node(NodeKind kind_, Node* parent_) : kind(kind_), parent(parent_) {}

Node::~Node() = default;

Node* Node::findNodeByName(const std::string& text)
{
    for (std::unique_ptr<Node>& child : children) {
        if (child->name.find(text) != std::string::npos)
            return child.get();
        if (Node* found = child->findNodeByName(text))
            return found;
    }
    return nullptr;
}

void Node::readName(SceneReader& reader)
{
    char buffer[nodeNameBufferBytes] = {};
    reader.readString(buffer, sizeof buffer);
    name = buffer;
    LowerCaseInPlace(name);
}

void Node::composeMatrix(float time, RotationTrack& rotationTrack, VectorTrack& scaleTrack)
{
    position = positionTrack.evaluate(time);
    matrix = localMatrix(position, rotationTrack.evaluate(time), scaleTrack.evaluate(time));
}

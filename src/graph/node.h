// Node: the scene-graph node base, with name, kind, children, position and visibility.
#pragma once

#include "anim/rotation_track.h"
#include "anim/vector_track.h"
#include "anim/visibility_track.h"
#include "common/growable_array.h"
#include "common/matrix4.h"
#include "common/vector3.h"
#include "graph/player_facts.h"

#include <cstdint>
#include <memory>
#include <string>

class SceneReader;

// The kind's name for messages and tools ("mesh", "camera", ...); "unknown" for any other value.
const char* NodeKindName(NodeKind kind);

// Node names are kept in a 128-byte buffer while they are read.
constexpr int nodeNameBufferBytes = 128;

class Node {
public:
    Node(NodeKind kind, Node* parent);
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    virtual ~Node();

    // Reads the node's record body (the name first); a failed read leaves the reader's flag set.
    virtual void load(SceneReader& reader) = 0;
    // Computes the tangents of the node's tracks; called once, after the whole scene is read.
    virtual void prepare() = 0;
    // Updates position and matrix for a demo time. Returns false only when checkVisibility
    // is set and the node is hidden at that time (then nothing changes). Allocates nothing.
    virtual bool evaluate(float time, bool checkVisibility) = 0;
    // Whether the draw passes draw this node.
    virtual bool isDrawable() const { return false; }

    // The first node below this one (pre-order, not this node itself) whose name contains
    // text; null when there is none. An empty text finds the first child.
    Node* findNodeByName(const std::string& text);

    std::string name; // lower case, at most 127 bytes
    const NodeKind kind;
    Node* parent;
    GrowableArray<std::unique_ptr<Node>> children;
    VectorTrack positionTrack;
    Vector3 position;
    // Local transform relative to the parent. Starts as the identity, so a node that never
    // computes its matrix (targets, spots) passes its parent's frame on to its children.
    Matrix4 matrix;
    VisibilityTrack visibilityTrack;

protected:
    // Reads the zero-terminated name (truncated to 127 bytes) and lowers A to Z.
    void readName(SceneReader& reader);
    // Sets position and matrix from the position track and the given rotation and scale
    // tracks at a demo time.
    void composeMatrix(float time, RotationTrack& rotationTrack, VectorTrack& scaleTrack);
};

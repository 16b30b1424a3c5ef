// Scene writer: describes a scene as plain data and writes it as a scene file.
#pragma once

#include "common/quaternion.h"
#include "common/vector3.h"
#include "graph/player_facts.h"

#include <cstdint>
#include <string>
#include <vector>

// One key of a scalar, vector or rotation track, as the file stores it.
template <typename V>
struct KeySpec {
    int32_t frame = 0;
    V value{};
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    float easeTo = 0.0f;
    float easeFrom = 0.0f;
};

// A spline track: its header word and its keys in file (frame) order.
template <typename V>
struct TrackSpec {
    int32_t headerWord = 1;
    std::vector<KeySpec<V>> keys;
};

using ScalarTrackSpec = TrackSpec<float>;
using VectorTrackSpec = TrackSpec<Vector3>;
using RotationTrackSpec = TrackSpec<Quaternion>;

// One morph key: a whole set of vertex positions pinned to a frame.
struct MorphKeySpec {
    int32_t frame = 0;
    std::vector<Vector3> positions;
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    float easeTo = 0.0f;
    float easeFrom = 0.0f;
};

struct MorphTrackSpec {
    int32_t headerWord = 1;
    std::vector<MorphKeySpec> keys;
};

// One corner of a triangle: a vertex index and its texture coordinates.
struct CornerSpec {
    int32_t vertex = 0;
    float s = 0.0f;
    float t = 0.0f;
};

struct FaceSpec {
    CornerSpec corners[3];
};

// Faces that share a material, named by their index in the mesh's face list.
struct GroupSpec {
    int32_t material = 0;
    std::vector<int32_t> faces;
};

// The player's node kinds, under the name the writer's callers know them by; the file stores
// NodeTypeId(kind) before each node record.
using NodeType = NodeKind;

// One node and its subtree. Each kind writes only the fields its record holds:
//   mesh:      position, rotation, scale, visibility, vertices, faces, groups, morph
//   camera:    position, roll, fov, visibility
//   target:    position
//   spot:      colour, position, spotFirst, spotSecond, visibility
//   light:     colour, position, rotation, scale, visibility
//   transform: position, rotation, scale, visibility
struct NodeSpec {
    NodeType type = NodeType::Transform;
    std::string name;
    Vector3 colour{1.0f, 1.0f, 1.0f};
    VectorTrackSpec position;
    RotationTrackSpec rotation;
    VectorTrackSpec scale;
    ScalarTrackSpec roll;
    ScalarTrackSpec fov;
    ScalarTrackSpec spotFirst;
    ScalarTrackSpec spotSecond;
    std::vector<int32_t> visibility; // frames at which the node toggles
    std::vector<Vector3> vertices;
    std::vector<FaceSpec> faces;
    std::vector<GroupSpec> groups;
    MorphTrackSpec morph;
    std::vector<NodeSpec> children;

    // Appends a child and returns it, for building trees in place.
    NodeSpec& add(NodeSpec child);
};

// A node of the given kind standing still at `at`: one key at frame 0 on each of its
// spline tracks (identity rotation, unit scale, roll 0, a 60 degree field of view).
NodeSpec makeNode(NodeType type, const std::string& name, Vector3 at = {});

// A material map slot: present in the player when amount > 0.
struct MaterialMapSpec {
    float amount = 0.0f;
    std::string file;
};

struct MaterialSpec {
    std::string name;
    MaterialMapSpec maps[MaterialMapCount];
};

struct SceneSpec {
    int32_t headerA = 0;
    int32_t headerB = 0;
    int32_t spareWord = 0; // the word between the node tree and the material count
    std::vector<NodeSpec> nodes;
    std::vector<MaterialSpec> materials;
};

// The bytes of the scene file describing `scene`.
std::string writeScene(const SceneSpec& scene);
// Writes the scene file to `path`; returns false when the file cannot be written.
bool saveScene(const SceneSpec& scene, const std::string& path);

// The glTF exporter's shared state: one Exporter turns one loaded scene into a glTF model,
// its members defined by concern across the exporter's files (buffers, nodes with their
// cameras and lights, materials, meshes, sampled animation).
#pragma once

#include "gltf_export.h"
#include "picture_finder.h"

#include "common/vector3.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/player_facts.h"
#include "scene/material.h"
#include "scene/scene.h"

#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace gltf_export {

constexpr double Pi = 3.14159265358979323846;

// v scaled to length 1; v itself when it has no length.
inline Vector3 normalised(const Vector3& v)
{
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : v;
}

// What one player node became in the glTF.
struct Exported {
    Node* node = nullptr;
    int gltf = -1;     // the node that takes the player node's transform
    int shown = -1;    // the child scaled to 0 while a mesh is hidden
    int light = -1;    // the child that carries a light
    int view = -1;     // a camera's top-level node
    int weights = 0;   // morph targets of a mesh
    int firstTarget = 0; // the morph key of the first target (1 when key 0 is the base)
    MorphTrack basis;  // a morphing mesh's keys with one unit vertex per key: its weights
    // Samples, one per frame sampled.
    std::vector<Vector3> translation, scale, lightAt, viewAt;
    std::vector<std::array<float, 4>> rotation, viewTurn;
    std::vector<float> shownScale, morphWeights;
    // What the importer needs and glTF has no place for, written to the node's extras.
    tinygltf::Value::Object extras;
};

class Exporter {
public:
    Exporter(Scene& scene, const GltfExportOptions& options, GltfExportSummary& summary, const std::string& sceneFile)
        : scene_(scene), options_(options), summary_(summary), pictures_(options.demoFolder, sceneFile)
    {
    }

    void build();

    tinygltf::Model& model() { return model_; }

private:
    // Buffer data, each view starting on a 4-byte boundary.
    int addView(const void* data, size_t bytes, int target);

    // Floats in groups of `components` (1 to 4), with their bounds when asked. glTF holds
    // finite numbers only: the player draws nothing from the others, and they are written
    // as 0 (and counted for the summary).
    int addFloats(std::vector<float> values, int components, bool bounds, int target = 0);

    int addIndices(const std::vector<uint32_t>& indices);

    static void push(std::vector<float>& out, const Vector3& v);

    // What glTF has no place for goes under "taldrex" in the extras, where the importer
    // looks for it.
    static tinygltf::Value taldrexExtras(const tinygltf::Value::Object& taldrex);

    static tinygltf::Value colourValue(const Vector3& colour);

    // The node's kind, its place in the scene file's pre-order (from 0) and, for spots and
    // lights, its colour.
    static tinygltf::Value::Object kindExtras(const Node& node, int index);

    static tinygltf::Value fovKeys(const CameraNode& camera);

    int addNode(const std::string& name);

    // The glTF node of a player node and its subtree; returns its index.
    int makeNode(Node& node, bool topLevel);

    int makeCamera(CameraNode& camera);

    void attachLight(LightNode& light, size_t at);

    // A material per scene material, plus white lines for groups drawn as lines.
    void makeMaterials();

    static tinygltf::Value mapExtras(const MaterialMap& map, int texture);

    // The glTF texture of a map, the picture copied in; -1 when none is found.
    int texture(const MaterialMap& map, bool& jpeg);

    void makeUnlit(tinygltf::Material& material);

    int linesMaterial();

    // One primitive per drawn group. A glTF vertex is a player vertex with the texture
    // coordinates of a corner: corners that agree share one, and the same player vertex
    // in two groups has the same position and normal in both, so the importer can join
    // them again and the player's normals come out as before.
    void attachMesh(MeshNode& mesh, size_t at);

    // A morph track with the frames and parameters of track whose key k holds one vertex
    // per key, at 1 on x for vertex k: the player's blend of it at a time gives each key's
    // weight in the blend of the real shapes, as every vertex moves by the same rule.
    static void makeBasis(const MorphTrack& track, MorphTrack& basis);

    // Every frame in turn through the player's own evaluation pass, and what each node
    // holds after it.
    void sample();

    void take(Exported& e, float frame, const Vector3Array& rest);

    // A hidden mesh or transform keeps the transform of its last visible frame (the
    // identity before any), as the player's matrix does.
    void takeTransform(Exported& e, bool visible, float frame, RotationTrack& rotation, VectorTrack& scale);

    // A frame the camera cannot be viewed through (no target, or the eye on it) keeps the
    // previous view, as the player keeps the previous picture's projection.
    static void takeView(Exported& e, CameraNode& camera, float frame);

    // The samples of a channel as floats, and whether they change at all.
    template <typename T>
    static bool changes(const std::vector<T>& samples);

    static std::vector<float> flat(const std::vector<Vector3>& samples);

    static std::vector<float> flat(const std::vector<std::array<float, 4>>& samples);

    // A channel for what changes; what does not is the node's fixed value.
    void channel(tinygltf::Animation& animation, int node, const std::string& path, const std::vector<float>& values,
                 int components, const char* interpolation);

    void transform(tinygltf::Animation& animation, int node, const std::vector<Vector3>& translation,
                   const std::vector<std::array<float, 4>>& rotation, const std::vector<Vector3>& scale);

    void animate();

    // What the glTF draws otherwise than the player, said once for the whole scene.
    void noteLimits();

    struct MaterialInfo {
        int gltf;
        int kind;
        bool jpeg;
    };

    // The corners of a drawn group in drawing order, with their texture coordinates (none
    // for lines), setting the primitive's mode, material and extras; true for lines.
    bool groupCorners(const FaceGroup& group, const MaterialInfo& info, tinygltf::Primitive& primitive,
                      std::vector<int>& corners, std::vector<std::array<float, 2>>& cornerCoordinates);
    // The primitive's vertices, indices and morph targets (keys from firstTarget on): one
    // glTF vertex per player vertex and corner coordinates (null: untextured) that agree.
    void addVertices(MeshNode& mesh, const std::vector<int>& corners,
                     const std::vector<std::array<float, 2>>* cornerCoordinates, bool lines, int firstTarget,
                     tinygltf::Primitive& primitive);

    Scene& scene_;
    const GltfExportOptions& options_;
    GltfExportSummary& summary_;
    PictureFinder pictures_;
    tinygltf::Model model_;
    // Stable in place: each holds a track, and the tree refers to them by index.
    std::deque<Exported> exported_;
    std::vector<MaterialInfo> materials_;
    std::map<std::string, int> images_;
    std::vector<float> times_;
    std::vector<std::string> hideable_; // meshes whose visibility toggles
    int timesAccessor_ = -1;
    int linesMaterial_ = -1;
    int lightsMet_ = 0;
    long long nonFinite_ = 0;
    bool unlit_ = false;
    bool translucent_ = false;
    bool sphereMapped_ = false;
    bool textured_ = false;
};

} // namespace gltf_export

// The glTF importer's shared state: one Importer reads one model into an ImportedShow, its
// members defined by concern across the importer's files (accessors, animation, meshes,
// cameras and lights, materials and pictures). Failures throw ImportFailure, caught where
// the import starts (gltf_import.cpp); nothing else sees them.
#pragma once

#include "gltf_import.h"
#include "gltf_math.h"
#include "graph/player_facts.h"
#include "scene_writer.h"
#include "wrap_bake.h"

#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace gltf_import {

// The player reads node trees at most this deep.
constexpr int maxDepth = 256;

// The player reads scene files of at most this many bytes.
constexpr uint64_t maxSceneBytes = uint64_t(1) << 30;

// Names the player keeps: at most 127 bytes; material and map names at most 299.
constexpr size_t maxNodeName = 127;
constexpr size_t maxMaterialName = 299;

// Largest side of a picture turned into PNG (the player's own limit).
constexpr int maxPictureSide = 16384;

// Longest animation taken, in seconds.
constexpr double maxSeconds = 3600.0;

// The scene material standing for lines primitives (glTF material numbers are from 0, -1
// is none).
constexpr int linesMaterial = -2;

// Largest side of a vertex colour atlas: 4096 x 4096 holds 262144 patches of 8 x 8 texels,
// 48 MiB of RGB (about 85 MiB in the driver with its mipmap levels).
constexpr int maxColourAtlasSide = 4096;

// Largest vertex sets sampled for morphs and skins, in vertices times frames.
constexpr uint64_t maxMorphSamples = uint64_t(1) << 25;

// The importer's own failure, caught where the import starts.
struct ImportFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail(const std::string& message)
{
    throw ImportFailure(message);
}

// The "taldrex" object of a glTF object's extras, where taldrex-scene export keeps what
// glTF has no place for; null when there is none.
inline const tinygltf::Value* taldrexOf(const tinygltf::Value& extras)
{
    if (!extras.IsObject() || !extras.Has("taldrex") || !extras.Get("taldrex").IsObject())
        return nullptr;
    return &extras.Get("taldrex");
}

// A member of an extras object as a whole number; fallback when it is missing or not one.
inline int extrasInt(const tinygltf::Value& object, const char* name, int fallback)
{
    if (!object.Has(name) || !object.Get(name).IsNumber())
        return fallback;
    const double value = object.Get(name).GetNumberAsDouble();
    return value >= -1e9 && value <= 1e9 && value == std::floor(value) ? int(value) : fallback;
}

// One glTF mesh, read once: vertices of all primitives in turn, morph targets, skin data.
struct MeshData {
    std::vector<DVec3> base;
    std::vector<DVec3> normals; // per vertex; NaN where the primitive gives none
    std::vector<std::vector<DVec3>> targets; // per target, one offset per vertex
    std::vector<double> defaultWeights;
    std::vector<std::array<int, 3>> faces; // vertex indices
    std::vector<std::array<float, 6>> uvs; // s, t per corner
    std::vector<GroupSpec> groups;
    std::vector<int> groupOfPrimitive; // per primitive: its group, or -1 when it adds none
    std::vector<std::array<int, 8>> joints;     // up to eight influences per vertex
    std::vector<std::array<double, 8>> weights; // their weights
    bool hasSkinData = false;
};

struct SamplerData {
    std::vector<double> input;
    std::vector<double> output;
    int interpolation = 1; // 0 step, 1 linear, 2 cubic
    int components = 0;
};

// One selected animation on the frame line.
struct Segment {
    int animation = -1;
    int offset = 0;
    int frames = 1; // frames in the segment (last one included)
};

// Image bytes given by URI, kept untouched by the loader as it reads the model; images in
// buffer views are read later with their bounds checked.
struct ImageBytes {
    std::map<int, std::vector<unsigned char>> byIndex;
};

// How a primitive's corners take texture coordinates: its coordinates (empty: none), the
// texture transform u' = a u + b v + c, v' = d u + e v + f, and whether its picture is a
// JPEG (uploaded bottom row first).
struct CornerMapping {
    std::vector<double> uv;
    std::array<double, 6> transform{1, 0, 0, 0, 1, 0};
    bool jpeg = false;
};

// The bytes a node and everything below it take in a scene file.
uint64_t nodeBytes(const NodeSpec& node);

// Vertex v of a mesh with its morph targets at weights w.
DVec3 morphed(const MeshData& mesh, size_t v, const std::vector<double>& w);

// The bytes of count elements in a buffer view from offset on, checked against the view
// and the buffer; null, with problem saying why, when they do not fit.
const unsigned char* viewBytes(const tinygltf::Model& model, int viewIndex, uint64_t offset, uint64_t count,
                               uint64_t elementBytes, uint64_t& stride, std::string& problem);

// What a camera of the scene looks along, per frame (one entry for a still camera), in the
// player's axes; own is false for the camera the importer adds.
struct CameraView {
    std::string name;
    std::vector<DVec3> eyes, forwards;
    double fovDegrees = 45;
    double znear = 0, zfar = std::numeric_limits<double>::infinity();
    bool own = true;
};

class Importer {
public:
    Importer(const tinygltf::Model& model, const ImageBytes& images, const ImportOptions& options, ImportedShow& show)
        : model_(model), images_(images), options_(options), show_(show)
    {
    }

    void run();

private:
    const std::vector<double>& accessor(int index, int& components);
    void checkModel();
    void chooseScene();
    void walkTree();
    void setUpAnimations();
    const SamplerData& sampler(int animation, int index);
    std::vector<double> sample(const SamplerData& s, double time, bool rotation) const;
    int segmentOf(int frame) const;
    int channelFor(int node, const char* path, int segment) const;
    Trs localAt(int node, int frame);
    Mat4 worldAt(int node, int frame);
    std::vector<double> weightsAt(int node, int frame, const MeshData& mesh);
    std::vector<int> keyFramesOf(int node, const char* path, bool besides = true) const;
    int keysIn(int node, const char* path) const;
    std::vector<int> allKeyFrames() const;
    double vectorTolerance(const std::vector<Vector3>& samples) const;
    double rotationTolerance() const { return 0.05 * options_.tolerance / 0.001; }

    // Appends the node's conversion (nothing for a node that only held a camera).
    void convertNode(int index, std::vector<NodeSpec>& into);
    void convertTransform(int index, NodeSpec& spec);
    bool hidesByScale(int index, const std::vector<Vector3>& scales, NodeSpec& spec);
    void exportedGroups(const tinygltf::Value& groups, const MeshData* mesh, NodeSpec& spec);
    const MeshData& meshData(int index);
    void readPrimitive(const tinygltf::Primitive& primitive, MeshData& data, int meshIndex);
    size_t readVertices(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where);
    void readTargets(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where, size_t first);
    void readInfluences(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where, size_t first);
    CornerMapping cornerMapping(const tinygltf::Primitive& primitive, bool lines, const std::string& where,
                                size_t vertexCount);
    void bakeVertexColours(const tinygltf::Primitive& primitive, int meshIndex, const std::string& where,
                           size_t vertexCount, const std::vector<std::array<size_t, 3>>& triangles, GroupSpec& group,
                           MeshData& data);
    std::vector<size_t> readIndices(const tinygltf::Primitive& primitive, const std::string& where, size_t vertexCount);
    void convertMesh(int nodeIndex, NodeSpec& spec);
    std::vector<Trs> instancesOf(int nodeIndex);
    std::vector<Mat4> drawnAt(int index, int frame);
    void convertInstances(int nodeIndex, NodeSpec& spec);
    bool mirrored(int nodeIndex, const std::string& name);
    bool twoSided(int sceneMaterial) const;
    std::vector<int> addBackFaces(NodeSpec& spec);
    void convertSkin(int nodeIndex, const MeshData& mesh, NodeSpec& spec);
    void convertCamera(int nodeIndex);
    std::string cameraName(int nodeIndex) const;
    void bakeCamera(int nodeIndex, const std::vector<double>& back, CameraView seen);
    void convertOrthographic(int nodeIndex);
    void addDefaultCamera();
    void convertLight(int nodeIndex, NodeSpec& parent);
    int materialIndex(int gltfMaterial);
    int textureFile(int textureIndex, bool& jpeg);
    std::string solidTexture(const std::vector<double>& colour, const std::string& stem);
    std::string freeTextureName(const std::string& stem, const char* extension) const;
    void fillMaterials();
    std::string sphereMap();
    void noteUndrawn(const tinygltf::Material& m, const std::string& name,
                     std::map<std::string, std::vector<std::string>>& ignored);
    void exportedMaps(const tinygltf::Material& material, const tinygltf::Value& taldrex, MaterialSpec& spec);
    void bakePictures();
    void dropReplacedPictures();
    void bakeMaterial(int material, int texture, const std::array<Wrap, 2>& wraps, const std::array<double, 3>& tint,
                      std::map<int, RawPicture>& decoded);
    std::string writeBake(const RawPicture& picture, int file, const AxisBake (&axes)[2], const std::array<Wrap, 2>& wraps,
                          const std::array<double, 3>& tint, const std::string& name, const std::string& lost);
    struct Depths {
        double nearest = std::numeric_limits<double>::infinity();
        double farthest = -std::numeric_limits<double>::infinity();
        int frame = 0;
    };
    void sampleGeometry(const std::function<void(int, const std::vector<DVec3>&)>& seen);
    Depths depthsSeen(const CameraView& view, int f, const std::vector<DVec3>& points) const;
    double fitDepthRange();
    void scaleScene(double factor);
    void warnOnce(const std::string& key, const std::string& line);
    void count(const NodeSpec& node);
    uint64_t sceneBytes() const;

    const tinygltf::Model& model_;
    const ImageBytes& images_;
    const ImportOptions& options_;
    ImportedShow& show_;
    std::string stem_;
    int scene_ = 0;
    std::vector<int> parent_;
    std::vector<int> order_; // the scene's nodes in pre-order
    std::vector<Segment> segments_;
    int frames_ = 1;
    std::map<std::pair<int, std::string>, std::vector<int>> channels_; // per segment, or -1
    std::map<int, std::pair<std::vector<double>, int>> accessors_;
    std::map<std::pair<int, int>, SamplerData> samplers_;
    std::map<int, std::unique_ptr<MeshData>> meshes_;
    std::map<int, int> materialOf_; // glTF material (-1: none) -> scene material
    std::vector<int> materialSource_;
    std::map<int, std::pair<int, bool>> textureFileOf_; // glTF image -> texture file, JPEG
    std::map<std::string, int> solidOf_;
    std::map<std::string, std::string> bakes_; // picture, its axes' bakes and tint -> baked picture
    std::map<int, std::string> bakedFileOf_;   // scene material -> its baked picture
    std::set<std::string> replaced_;           // pictures some material now draws baked
    std::map<int, std::string> colourAtlasOf_; // scene material -> the vertex colour atlas it draws
    std::set<int> colouredFrom_;               // scene materials primitives left for their atlases
    std::set<std::string> warned_;
    std::vector<NodeSpec> cameras_;
    std::vector<CameraView> views_; // beside cameras_, one per camera
    std::vector<int> orthographic_; // nodes of orthographic cameras, placed after the tree
    std::vector<NodeSpec> skinned_;
    int lightsSeen_ = 0;
    int shapedNormals_ = 0; // faces added to shape normals
    int mirroredMeshes_ = 0; // meshes written with their faces turned round
    int backFaces_ = 0;      // faces of double-sided materials added turned round
    int instanceNodes_ = 0;  // nodes written for EXT_mesh_gpu_instancing
    uint64_t instanceBytes_ = 0;
    uint64_t decodedValues_ = 0;
};

} // namespace gltf_import

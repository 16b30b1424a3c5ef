#include "gltf_export.h"

#include "common/ascii_case.h"
#include "common/file_path.h"
#include "demo/script_parser.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "scene/material.h"
#include "scene/scene.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

namespace {

// The player's lights: eight OpenGL light units, given out in pre-order.
constexpr int MaxLights = 8;
// The player's fixed picture shape and clip planes.
constexpr double FixedAspect = 83.0 / 65.0;
constexpr double NearPlane = 0.1;
constexpr double FarPlane = 10000.0;
constexpr double Pi = 3.14159265358979323846;

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

template <typename Keys>
void widenRange(const Keys& keys, int& last)
{
    for (const auto& key : keys)
        last = std::max(last, static_cast<int>(key->frame));
}

void lastKeyFrame(const Node& node, int& last)
{
    for (const std::unique_ptr<Node>& child : node.children) {
        const Node& n = *child;
        widenRange(n.positionTrack.keys, last);
        widenRange(n.visibilityTrack.keys, last);
        switch (n.kind) {
        case NodeKind::Mesh: {
            const auto& mesh = static_cast<const MeshNode&>(n);
            widenRange(mesh.rotationTrack.keys, last);
            widenRange(mesh.scaleTrack.keys, last);
            for (const MorphKey& key : mesh.morphTrack.keys)
                last = std::max(last, static_cast<int>(key.frame));
            break;
        }
        case NodeKind::Camera: {
            const auto& camera = static_cast<const CameraNode&>(n);
            widenRange(camera.rollTrack.keys, last);
            widenRange(camera.fovTrack.keys, last);
            break;
        }
        case NodeKind::Spot: {
            const auto& spot = static_cast<const SpotNode&>(n);
            widenRange(spot.firstTrack.keys, last);
            widenRange(spot.secondTrack.keys, last);
            break;
        }
        case NodeKind::Light: {
            const auto& light = static_cast<const LightNode&>(n);
            widenRange(light.rotationTrack.keys, last);
            widenRange(light.scaleTrack.keys, last);
            break;
        }
        case NodeKind::Transform: {
            const auto& transform = static_cast<const TransformNode&>(n);
            widenRange(transform.rotationTrack.keys, last);
            widenRange(transform.scaleTrack.keys, last);
            break;
        }
        case NodeKind::Scene:
        case NodeKind::Target:
            break;
        }
        lastKeyFrame(n, last);
    }
}

// A quaternion as glTF stores it, (x, y, z, w), from a rotation matrix given by its columns.
std::array<float, 4> quaternionOfColumns(const Vector3& x, const Vector3& y, const Vector3& z)
{
    const double m00 = x.x, m10 = x.y, m20 = x.z;
    const double m01 = y.x, m11 = y.y, m21 = y.z;
    const double m02 = z.x, m12 = z.y, m22 = z.z;
    double qw, qx, qy, qz;
    const double trace = m00 + m11 + m22;
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        qw = 0.25 * s;
        qx = (m21 - m12) / s;
        qy = (m02 - m20) / s;
        qz = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2.0;
        qw = (m21 - m12) / s;
        qx = 0.25 * s;
        qy = (m01 + m10) / s;
        qz = (m02 + m20) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2.0;
        qw = (m02 - m20) / s;
        qx = (m01 + m10) / s;
        qy = 0.25 * s;
        qz = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2.0;
        qw = (m10 - m01) / s;
        qx = (m02 + m20) / s;
        qy = (m12 + m21) / s;
        qz = 0.25 * s;
    }
    const double length = std::sqrt(qw * qw + qx * qx + qy * qy + qz * qz);
    return {float(qx / length), float(qy / length), float(qz / length), float(qw / length)};
}

Vector3 normalised(const Vector3& v)
{
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : v;
}

// A unit quaternion: glTF wants rotations of length 1; the player uses them unnormalised
// (a track's curve stays within rounding of length 1). Zero becomes the identity.
std::array<float, 4> unit(std::array<float, 4> q)
{
    const double length = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3]);
    if (!(length > 0.0) || !std::isfinite(length))
        return {0, 0, 0, 1};
    for (float& c : q)
        c = static_cast<float>(c / length);
    return q;
}

// The view a camera's glTF node takes: it looks down its -Z with +Y up, from the eye.
std::array<float, 4> viewRotation(const CameraLook& view)
{
    const Vector3 f = normalised(ToGltfAxes(view.centre - view.eye));
    Vector3 s = normalised(cross(f, ToGltfAxes(view.up)));
    const Vector3 u = cross(s, f);
    return quaternionOfColumns(s, u, f * -1.0f);
}

// The picture a material map names, found as the player finds it: the script's texture
// entries (before the scene's own entry when the script lists the scene) are the names a
// map can resolve to, and the file is the entry's name under data/ in any letter case.
class PictureFinder {
public:
    PictureFinder(const std::string& folder, const std::string& sceneFile) : folder_(folder)
    {
        if (folder_.empty())
            return;
        std::ifstream in(folder_ + "/script.txt", std::ios::binary);
        if (!in) {
            noScript_ = true;
            return;
        }
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string base = LowerCase(sceneFile.substr(sceneFile.find_last_of('/') + 1));
        for (const PlanEntry& entry : ParseScript(text).entries) {
            if (entry.kind == EntryKind::Scene && entry.key == base)
                break;
            if (entry.kind == EntryKind::Texture)
                listed_.push_back(entry.key);
        }
    }

    // The key the player registers the picture under and the file's path; false when the
    // map resolves to no listed picture, or there is no demo folder.
    bool find(const MaterialMap& map, std::string& key, std::string& path) const
    {
        if (folder_.empty())
            return false;
        for (const std::string& name : MapTextureKeys(map)) {
            if (!PicturesOf(name).any() || (!noScript_ && std::find(listed_.begin(), listed_.end(), name) == listed_.end()))
                continue;
            std::string resolved = resolveDataPath(folder_ + "/data\\" + name);
            if (std::ifstream(resolved, std::ios::binary)) {
                key = name;
                path = resolved;
                return true;
            }
        }
        return false;
    }

private:
    std::string folder_;
    bool noScript_ = false;
    std::vector<std::string> listed_;
};

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

    void build()
    {
        model_.asset.version = "2.0";
        model_.asset.generator = "taldrex-scene export";
        model_.buffers.emplace_back();
        unlit_ = scene_.lightCount == 0;
        makeMaterials();
        tinygltf::Scene gltfScene;
        gltfScene.name = "scene";
        for (std::unique_ptr<Node>& child : scene_.children) {
            const int made = makeNode(*child, true);
            if (made >= 0)
                gltfScene.nodes.push_back(made);
        }
        for (const Exported& e : exported_)
            if (e.view >= 0)
                gltfScene.nodes.push_back(e.view);
        model_.scenes.push_back(gltfScene);
        model_.defaultScene = 0;
        sample();
        animate();
        noteLimits();
        summary_.nodes = static_cast<int>(model_.nodes.size());
        summary_.meshes = static_cast<int>(model_.meshes.size());
        summary_.cameras = static_cast<int>(model_.cameras.size());
        summary_.lights = static_cast<int>(model_.lights.size());
        summary_.images = static_cast<int>(model_.images.size());
    }

    tinygltf::Model& model() { return model_; }

private:
    // Buffer data, each view starting on a 4-byte boundary.
    int addView(const void* data, size_t bytes, int target)
    {
        std::vector<unsigned char>& buffer = model_.buffers[0].data;
        buffer.resize((buffer.size() + 3) / 4 * 4);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* begin = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), begin, begin + bytes);
        model_.bufferViews.push_back(view);
        return static_cast<int>(model_.bufferViews.size()) - 1;
    }

    // Floats in groups of `components` (1 to 4), with their bounds when asked. glTF holds
    // finite numbers only: the player draws nothing from the others, and they are written
    // as 0 (and counted for the summary).
    int addFloats(std::vector<float> values, int components, bool bounds, int target = 0)
    {
        for (float& value : values)
            if (!std::isfinite(value)) {
                value = 0.0f;
                ++nonFinite_;
            }
        tinygltf::Accessor accessor;
        accessor.bufferView = addView(values.data(), values.size() * sizeof(float), target);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = values.size() / components;
        const int types[] = {TINYGLTF_TYPE_SCALAR, TINYGLTF_TYPE_VEC2, TINYGLTF_TYPE_VEC3, TINYGLTF_TYPE_VEC4};
        accessor.type = types[components - 1];
        if (bounds) {
            accessor.minValues.assign(components, 0.0);
            accessor.maxValues.assign(components, 0.0);
            for (size_t i = 0; i < values.size(); ++i) {
                const size_t c = i % components;
                if (i < size_t(components) || values[i] < accessor.minValues[c])
                    accessor.minValues[c] = values[i];
                if (i < size_t(components) || values[i] > accessor.maxValues[c])
                    accessor.maxValues[c] = values[i];
            }
        }
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    int addIndices(const std::vector<uint32_t>& indices)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = addView(indices.data(), indices.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        accessor.count = indices.size();
        accessor.type = TINYGLTF_TYPE_SCALAR;
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    static void push(std::vector<float>& out, const Vector3& v)
    {
        out.insert(out.end(), {v.x, v.y, v.z});
    }

    // What glTF has no place for goes under "taldrex" in the extras, where the importer
    // looks for it.
    static tinygltf::Value taldrexExtras(const tinygltf::Value::Object& taldrex)
    {
        tinygltf::Value::Object extras;
        extras["taldrex"] = tinygltf::Value(taldrex);
        return tinygltf::Value(extras);
    }

    static tinygltf::Value colourValue(const Vector3& colour)
    {
        return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(double(colour.x)), tinygltf::Value(double(colour.y)),
                                                      tinygltf::Value(double(colour.z))});
    }

    // The node's kind, its place in the scene file's pre-order (from 0) and, for spots and
    // lights, its colour.
    static tinygltf::Value::Object kindExtras(const Node& node, int index)
    {
        tinygltf::Value::Object taldrex;
        taldrex["kind"] = tinygltf::Value(std::string(NodeKindName(node.kind)));
        taldrex["index"] = tinygltf::Value(index);
        if (node.kind == NodeKind::Spot)
            taldrex["colour"] = colourValue(static_cast<const SpotNode&>(node).colour);
        if (node.kind == NodeKind::Light)
            taldrex["colour"] = colourValue(static_cast<const LightNode&>(node).colour);
        return taldrex;
    }

    static tinygltf::Value fovKeys(const CameraNode& camera)
    {
        tinygltf::Value::Array keys;
        for (const auto& key : camera.fovTrack.keys)
            keys.push_back(tinygltf::Value(tinygltf::Value::Array{
                tinygltf::Value(int(key->frame)), tinygltf::Value(double(key->value)),
                tinygltf::Value(double(key->tension)), tinygltf::Value(double(key->continuity)),
                tinygltf::Value(double(key->bias)), tinygltf::Value(double(key->easeTo)),
                tinygltf::Value(double(key->easeFrom))}));
        return tinygltf::Value(keys);
    }

    int addNode(const std::string& name)
    {
        tinygltf::Node node;
        node.name = name;
        model_.nodes.push_back(node);
        return static_cast<int>(model_.nodes.size()) - 1;
    }

    // The glTF node of a player node and its subtree; returns its index.
    int makeNode(Node& node, bool topLevel)
    {
        exported_.emplace_back();
        const size_t at = exported_.size() - 1;
        exported_[at].node = &node;
        const int order = static_cast<int>(at);
        int index = -1;
        if (node.kind == NodeKind::Camera) {
            // The eye and the view are world positions, whatever the camera's parents: the
            // camera is a top-level node, and the tree keeps a node of its own for the
            // camera's children, which follow its position as the player's do.
            const int view = addNode(node.name);
            exported_[at].extras = kindExtras(node, order);
            auto& camera = static_cast<CameraNode&>(node);
            model_.nodes[view].camera = makeCamera(camera);
            // A glTF camera holds one field of view: an animated one is kept beside it as
            // the player's own keys, which give it between frames as well.
            if (camera.fovTrack.keys.size() > 1)
                exported_[at].extras["fovKeys"] = fovKeys(camera);
            exported_[at].view = view;
            if (!topLevel)
                summary_.notes.push_back("camera \"" + node.name +
                                         "\" is a top-level glTF node: the player places its eye in world "
                                         "coordinates, whatever its parent");
            if (node.children.size() == 0)
                return -1;
            index = addNode(GltfNames::cameraChildren(node.name));
        } else {
            index = addNode(node.name);
            exported_[at].extras = kindExtras(node, order);
        }
        exported_[at].gltf = index;
        if (node.kind == NodeKind::Mesh)
            attachMesh(static_cast<MeshNode&>(node), at);
        if (node.kind == NodeKind::Light)
            attachLight(static_cast<LightNode&>(node), at);
        if ((node.kind == NodeKind::Target || node.kind == NodeKind::Spot) && node.children.size() > 0)
            summary_.notes.push_back(std::string(NodeKindName(node.kind)) + " \"" + node.name +
                                     "\": its children move with its position in the glTF; the player leaves "
                                     "them in its parent's frame");
        for (std::unique_ptr<Node>& child : node.children) {
            const int made = makeNode(*child, false);
            if (made >= 0)
                model_.nodes[index].children.push_back(made);
        }
        return index;
    }

    int makeCamera(CameraNode& camera)
    {
        tinygltf::Camera gltf;
        gltf.type = "perspective";
        gltf.name = camera.name;
        gltf.perspective.aspectRatio = FixedAspect;
        gltf.perspective.znear = NearPlane;
        gltf.perspective.zfar = FarPlane;
        const double degrees = camera.fieldOfViewDegrees(0.0f);
        if (degrees > 0.0 && degrees < 180.0) {
            gltf.perspective.yfov = degrees * Pi / 180.0;
        } else {
            gltf.perspective.yfov = Pi / 3.0;
            summary_.notes.push_back("camera \"" + camera.name + "\": field of view at frame 0 (" +
                                     std::to_string(degrees) + " degrees) is no angle a glTF camera holds; 60 degrees stands in");
        }
        if (camera.fovTrack.keys.size() > 1)
            summary_.notes.push_back("camera \"" + camera.name +
                                     "\": the field of view is animated; a glTF camera holds one, frame 0's (the track's "
                                     "keys are kept in the node's extras, taldrex.fovKeys)");
        model_.cameras.push_back(gltf);
        return static_cast<int>(model_.cameras.size()) - 1;
    }

    void attachLight(LightNode& light, size_t at)
    {
        if (lightsMet_++ >= MaxLights) {
            summary_.notes.push_back("light \"" + light.name + "\" is the ninth or later in pre-order: the player "
                                     "lights nothing with it, and the glTF has no light for it");
            return;
        }
        tinygltf::Light gltf;
        gltf.name = light.name;
        gltf.type = "point";
        // glTF colours stay within 0 to 1: a brighter colour becomes its shade at a higher
        // intensity. Negative components (the player's light takes light away) cannot be kept.
        const double brightest = std::max({1.0, double(light.colour.x), double(light.colour.y), double(light.colour.z)});
        gltf.intensity = std::isfinite(brightest) ? brightest : 1.0;
        for (float c : {light.colour.x, light.colour.y, light.colour.z})
            gltf.color.push_back(std::isfinite(c) ? std::clamp(c / gltf.intensity, 0.0, 1.0) : 1.0);
        gltf.extras = taldrexExtras({{"colour", colourValue(light.colour)}});
        model_.lights.push_back(gltf);
        // The player lights from the node's matrix applied to its position: the position
        // once more in the node's own frame, so a child at the position carries the light.
        const int child = addNode(GltfNames::light(light.name));
        tinygltf::Value::Object reference;
        reference["light"] = tinygltf::Value(static_cast<int>(model_.lights.size()) - 1);
        model_.nodes[child].extensions["KHR_lights_punctual"] = tinygltf::Value(reference);
        model_.nodes[exported_[at].gltf].children.push_back(child);
        exported_[at].light = child;
    }

    // A material per scene material, plus white lines for groups drawn as lines.
    void makeMaterials()
    {
        for (int i = 0; i < scene_.materials.size(); ++i) {
            const Material& material = *scene_.materials[i];
            const int kind = material.drawnKind();
            tinygltf::Material gltf;
            gltf.name = material.name;
            gltf.pbrMetallicRoughness.metallicFactor = 0.0;
            gltf.pbrMetallicRoughness.roughnessFactor = 1.0;
            if (unlit_)
                makeUnlit(gltf);
            bool jpeg = false;
            if (kind & Material::surfaceKind)
                gltf.pbrMetallicRoughness.baseColorTexture.index = texture(material.maps[Material::surfaceSlot], jpeg);
            const float alpha = material.alpha();
            if (kind != Material::plainKind && alpha < 1.0f) {
                gltf.alphaMode = "BLEND";
                gltf.pbrMetallicRoughness.baseColorFactor[3] = std::max(0.0f, alpha);
                gltf.doubleSided = true;
                translucent_ = true;
            }
            // The maps as the player reads them, for the importer: glTF has no sphere maps,
            // and the kind decides how the player draws (lines for a material with neither).
            tinygltf::Value::Object taldrex;
            taldrex["kind"] = tinygltf::Value(kind);
            if (kind & Material::surfaceKind)
                taldrex["surface"] = mapExtras(material.maps[Material::surfaceSlot], -1);
            if (kind & Material::environmentKind) {
                const MaterialMap& map = material.maps[Material::environmentSlot];
                bool unused = false;
                taldrex["sphereMap"] = mapExtras(map, texture(map, unused));
                sphereMapped_ = true;
            }
            gltf.extras = taldrexExtras(taldrex);
            if (kind == Material::surfaceKind || kind == (Material::surfaceKind | Material::environmentKind))
                textured_ = true;
            materials_.push_back({static_cast<int>(model_.materials.size()), kind, jpeg});
            model_.materials.push_back(gltf);
        }
    }

    static tinygltf::Value mapExtras(const MaterialMap& map, int texture)
    {
        tinygltf::Value::Object extras;
        extras["file"] = tinygltf::Value(map.mapFile);
        extras["amount"] = tinygltf::Value(double(map.amount));
        if (texture >= 0)
            extras["texture"] = tinygltf::Value(texture);
        return tinygltf::Value(extras);
    }

    // The glTF texture of a map, the picture copied in; -1 when none is found.
    int texture(const MaterialMap& map, bool& jpeg)
    {
        std::string key, path;
        if (!pictures_.find(map, key, path)) {
            if (!options_.demoFolder.empty())
                summary_.notes.push_back("map \"" + map.mapFile + "\" finds no picture the script lists in " +
                                         options_.demoFolder + "; drawn untextured, as the player draws it");
            return -1;
        }
        // A name with ".png" in it is decoded as PNG, any other as JPEG.
        const bool png = key.find(".png") != std::string::npos;
        auto found = images_.find(key);
        if (found == images_.end()) {
            std::ifstream in(path, std::ios::binary);
            std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const bool isPng = bytes.size() > 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
            const bool isJpeg = bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
            if ((png && !isPng) || (!png && !isJpeg)) {
                summary_.notes.push_back(path + " is no " + (png ? "PNG" : "JPEG") +
                                         " file: the player draws its surfaces untextured, and so does the glTF");
                images_[key] = -1;
                return -1;
            }
            tinygltf::Image image;
            image.name = key;
            image.mimeType = png ? "image/png" : "image/jpeg";
            image.bufferView = addView(bytes.data(), bytes.size(), 0);
            model_.images.push_back(image);
            tinygltf::Texture texture;
            texture.source = static_cast<int>(model_.images.size()) - 1;
            model_.textures.push_back(texture);
            found = images_.emplace(key, static_cast<int>(model_.textures.size()) - 1).first;
        }
        jpeg = !png;
        return found->second;
    }

    void makeUnlit(tinygltf::Material& material)
    {
        material.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
        if (std::find(model_.extensionsUsed.begin(), model_.extensionsUsed.end(), "KHR_materials_unlit") ==
            model_.extensionsUsed.end())
            model_.extensionsUsed.push_back("KHR_materials_unlit");
    }

    int linesMaterial()
    {
        if (linesMaterial_ < 0) {
            tinygltf::Material lines;
            lines.name = "lines";
            lines.pbrMetallicRoughness.metallicFactor = 0.0;
            makeUnlit(lines);
            model_.materials.push_back(lines);
            linesMaterial_ = static_cast<int>(model_.materials.size()) - 1;
        }
        return linesMaterial_;
    }

    // One primitive per drawn group. A glTF vertex is a player vertex with the texture
    // coordinates of a corner: corners that agree share one, and the same player vertex
    // in two groups has the same position and normal in both, so the importer can join
    // them again and the player's normals come out as before.
    void attachMesh(MeshNode& mesh, size_t at)
    {
        const bool morphs = mesh.morphs();
        const int keyCount = morphs ? mesh.morphTrack.keys.size() : 0;
        const Vector3Array& base = mesh.vertices;
        // The blend of the morph keys is the base plus weighted targets; the first key is
        // the base itself when it holds the same positions, which is the usual case.
        int firstTarget = 0;
        if (morphs) {
            const Vector3Array& first = mesh.morphTrack.keys[0].positions;
            firstTarget = 1;
            for (int v = 0; v < base.size() && firstTarget == 1; ++v)
                if (!(first[v] == base[v]))
                    firstTarget = 0;
        }
        tinygltf::Mesh gltf;
        gltf.name = mesh.name;
        tinygltf::Value::Array groups;
        for (const std::unique_ptr<FaceGroup>& group : mesh.faceGroups) {
            if (!group->material)
                continue;
            const MaterialInfo& info = materials_[group->materialIndex];
            tinygltf::Value::Object entry;
            entry["material"] = tinygltf::Value(info.gltf);
            entry["primitive"] = tinygltf::Value(-1);
            tinygltf::Primitive primitive;
            std::vector<int> corners; // vertex indices, in drawing order
            std::vector<std::array<float, 2>> cornerCoordinates;
            const bool lines = info.kind == Material::plainKind;
            if (lines) {
                // Lines join corners two by two across the group's faces.
                primitive.mode = TINYGLTF_MODE_LINE;
                primitive.material = linesMaterial();
                for (const Face& face : group->faces)
                    for (const FaceCorner& corner : face.corners)
                        corners.push_back(corner.vertex);
                corners.resize(corners.size() / 2 * 2);
            } else {
                primitive.mode = TINYGLTF_MODE_TRIANGLES;
                primitive.material = info.gltf;
                // A sphere-mapped surface is drawn with front faces culled: the glTF turns
                // its triangles round so that the same side shows.
                const bool flip = info.kind == Material::environmentKind && group->material->alpha() >= 1.0f;
                if (flip)
                    primitive.extras = taldrexExtras({{"turned", tinygltf::Value(true)}});
                for (const Face& face : group->faces) {
                    const int order[3] = {0, flip ? 2 : 1, flip ? 1 : 2};
                    for (int k : order) {
                        const FaceCorner& corner = face.corners[k];
                        corners.push_back(corner.vertex);
                        cornerCoordinates.push_back({corner.s, info.jpeg ? 1.0f - corner.t : corner.t});
                    }
                }
            }
            if (corners.empty()) {
                // Drawn as nothing, but the player still takes up the group's material.
                groups.push_back(tinygltf::Value(entry));
                continue;
            }
            const bool textured = !lines && model_.materials[info.gltf].pbrMetallicRoughness.baseColorTexture.index >= 0;
            std::map<std::tuple<int, float, float>, uint32_t> shared;
            std::vector<int> vertexOf; // the player vertex of each glTF vertex
            std::vector<float> texcoords;
            std::vector<uint32_t> indices;
            for (size_t c = 0; c < corners.size(); ++c) {
                const float s = textured ? cornerCoordinates[c][0] : 0.0f;
                const float t = textured ? cornerCoordinates[c][1] : 0.0f;
                auto found = shared.emplace(std::make_tuple(corners[c], s, t), uint32_t(vertexOf.size()));
                if (found.second) {
                    vertexOf.push_back(corners[c]);
                    texcoords.insert(texcoords.end(), {s, t});
                }
                indices.push_back(found.first->second);
            }
            std::vector<float> positions, normals;
            for (int v : vertexOf) {
                push(positions, ToGltfAxes(base[v]));
                Vector3 normal = ToGltfAxes(mesh.normals[v]);
                // A vertex no face uses has no normal; it is never drawn.
                if (!(std::fabs(std::sqrt(dot(normal, normal)) - 1.0f) < 1e-3f))
                    normal = Vector3(0.0f, 1.0f, 0.0f);
                push(normals, normalised(normal));
            }
            primitive.attributes["POSITION"] = addFloats(positions, 3, true, TINYGLTF_TARGET_ARRAY_BUFFER);
            if (!lines)
                primitive.attributes["NORMAL"] = addFloats(normals, 3, false, TINYGLTF_TARGET_ARRAY_BUFFER);
            if (textured)
                primitive.attributes["TEXCOORD_0"] = addFloats(texcoords, 2, false, TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.indices = addIndices(indices);
            for (int k = firstTarget; k < keyCount; ++k) {
                const Vector3Array& shape = mesh.morphTrack.keys[k].positions;
                std::vector<float> offsets;
                for (int v : vertexOf)
                    push(offsets, ToGltfAxes(shape[v]) - ToGltfAxes(base[v]));
                primitive.targets.push_back({{"POSITION", addFloats(offsets, 3, true, TINYGLTF_TARGET_ARRAY_BUFFER)}});
            }
            entry["primitive"] = tinygltf::Value(static_cast<int>(gltf.primitives.size()));
            groups.push_back(tinygltf::Value(entry));
            gltf.primitives.push_back(primitive);
        }
        exported_[at].extras["groups"] = tinygltf::Value(groups);
        if (gltf.primitives.empty())
            return;
        if (keyCount > 1) {
            exported_[at].weights = keyCount - firstTarget;
            exported_[at].firstTarget = firstTarget;
            gltf.weights.assign(exported_[at].weights, 0.0);
            makeBasis(mesh.morphTrack, exported_[at].basis);
        }
        model_.meshes.push_back(gltf);
        const int index = static_cast<int>(model_.meshes.size()) - 1;
        if (mesh.visibilityTrack.keys.size() > 1) {
            // Hiding a mesh hides its geometry, not its children: the geometry sits on a
            // child that is scaled to nothing while the mesh is hidden.
            const int shown = addNode(GltfNames::shown(mesh.name));
            model_.nodes[shown].mesh = index;
            model_.nodes[exported_[at].gltf].children.push_back(shown);
            exported_[at].shown = shown;
            hideable_.push_back(mesh.name);
        } else {
            model_.nodes[exported_[at].gltf].mesh = index;
        }
    }

    // A morph track with the frames and parameters of track whose key k holds one vertex
    // per key, at 1 on x for vertex k: the player's blend of it at a time gives each key's
    // weight in the blend of the real shapes, as every vertex moves by the same rule.
    static void makeBasis(const MorphTrack& track, MorphTrack& basis)
    {
        const int n = track.keys.size();
        basis.keys.setSize(n);
        for (int k = 0; k < n; ++k) {
            const MorphKey& from = track.keys[k];
            MorphKey& key = basis.keys[k];
            key.frame = from.frame;
            key.tension = from.tension;
            key.continuity = from.continuity;
            key.bias = from.bias;
            key.easeTo = from.easeTo;
            key.easeFrom = from.easeFrom;
            key.positions.setSize(n);
            key.positions[k] = Vector3(1.0f, 0.0f, 0.0f);
        }
        basis.prepare();
    }

    // Every frame in turn through the player's own evaluation pass, and what each node
    // holds after it.
    void sample()
    {
        const int last = LastKeyFrame(scene_);
        summary_.lastFrame = last;
        // Whole steps of 1 / fps seconds, the last one shortened to end on the last key.
        const int samples = (last * options_.fps + 29) / 30 + 1;
        summary_.samples = samples;
        Vector3Array rest;
        for (int k = 0; k < samples; ++k) {
            const double at = std::min(double(k) * 30.0 / options_.fps, double(last));
            const float frame = static_cast<float>(at);
            times_.push_back(static_cast<float>(at / 30.0));
            scene_.evaluateNodes(frame);
            for (Exported& e : exported_)
                take(e, frame, rest);
        }
    }

    void take(Exported& e, float frame, const Vector3Array& rest)
    {
        Node& node = *e.node;
        switch (node.kind) {
        case NodeKind::Mesh: {
            auto& mesh = static_cast<MeshNode&>(node);
            takeTransform(e, mesh.visibilityTrack.visible, frame, mesh.rotationTrack, mesh.scaleTrack);
            e.shownScale.push_back(mesh.visibilityTrack.visible ? 1.0f : 0.0f);
            if (e.weights > 0) {
                // The shape of the last visible evaluation, as the player draws it.
                const Vector3Array& w = e.basis.evaluate(mesh.evalTime, rest);
                for (int i = 0; i < e.weights; ++i)
                    e.morphWeights.push_back(w[e.firstTarget + i].x);
            }
            break;
        }
        case NodeKind::Transform: {
            auto& transform = static_cast<TransformNode&>(node);
            takeTransform(e, transform.visibilityTrack.visible, frame, transform.rotationTrack, transform.scaleTrack);
            break;
        }
        case NodeKind::Light: {
            auto& light = static_cast<LightNode&>(node);
            takeTransform(e, true, frame, light.rotationTrack, light.scaleTrack);
            e.lightAt.push_back(ToGltfAxes(light.position));
            break;
        }
        case NodeKind::Camera: {
            auto& camera = static_cast<CameraNode&>(node);
            e.translation.push_back(ToGltfAxes(camera.position));
            e.rotation.push_back({0, 0, 0, 1});
            e.scale.push_back({1, 1, 1});
            takeView(e, camera, frame);
            break;
        }
        case NodeKind::Target:
            e.translation.push_back(ToGltfAxes(node.position));
            break;
        case NodeKind::Spot:
            // A spot never moves in the player; its track is the maker's data all the same.
            e.translation.push_back(ToGltfAxes(node.positionTrack.evaluate(frame)));
            break;
        case NodeKind::Scene:
            break;
        }
    }

    // A hidden mesh or transform keeps the transform of its last visible frame (the
    // identity before any), as the player's matrix does.
    void takeTransform(Exported& e, bool visible, float frame, RotationTrack& rotation, VectorTrack& scale)
    {
        if (!visible) {
            e.translation.push_back(e.translation.empty() ? Vector3() : e.translation.back());
            e.rotation.push_back(e.rotation.empty() ? std::array<float, 4>{0, 0, 0, 1} : e.rotation.back());
            e.scale.push_back(e.scale.empty() ? Vector3(1, 1, 1) : e.scale.back());
            return;
        }
        e.translation.push_back(ToGltfAxes(e.node->position));
        std::array<float, 4> q = unit(ToGltfRotation(rotation.evaluate(frame)));
        // The same turn either sign; the nearer keeps glTF's interpolation on the short way.
        if (!e.rotation.empty()) {
            const auto& p = e.rotation.back();
            if (p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3] < 0.0f)
                for (float& c : q)
                    c = -c;
        }
        e.rotation.push_back(q);
        e.scale.push_back(ToGltfScale(scale.evaluate(frame)));
    }

    // A frame the camera cannot be viewed through (no target, or the eye on it) keeps the
    // previous view, as the player keeps the previous picture's projection.
    static void takeView(Exported& e, CameraNode& camera, float frame)
    {
        CameraLook view;
        if (camera.viewAt(frame, view)) {
            e.viewAt.push_back(ToGltfAxes(view.eye));
            e.viewTurn.push_back(viewRotation(view));
        } else if (!e.viewAt.empty()) {
            e.viewAt.push_back(e.viewAt.back());
            e.viewTurn.push_back(e.viewTurn.back());
        } else {
            e.viewAt.push_back(ToGltfAxes(camera.positionTrack.evaluate(frame)));
            e.viewTurn.push_back({0, 0, 0, 1});
        }
    }

    // The samples of a channel as floats, and whether they change at all.
    template <typename T>
    static bool changes(const std::vector<T>& samples)
    {
        for (const T& s : samples)
            if (!(s == samples.front()))
                return true;
        return false;
    }

    static std::vector<float> flat(const std::vector<Vector3>& samples)
    {
        std::vector<float> out;
        for (const Vector3& v : samples)
            push(out, v);
        return out;
    }

    static std::vector<float> flat(const std::vector<std::array<float, 4>>& samples)
    {
        std::vector<float> out;
        for (const auto& q : samples)
            out.insert(out.end(), q.begin(), q.end());
        return out;
    }

    // A channel for what changes; what does not is the node's fixed value.
    void channel(tinygltf::Animation& animation, int node, const std::string& path, const std::vector<float>& values,
                 int components, const char* interpolation)
    {
        if (timesAccessor_ < 0)
            timesAccessor_ = addFloats(times_, 1, true);
        tinygltf::AnimationSampler sampler;
        sampler.input = timesAccessor_;
        sampler.output = addFloats(values, components, false);
        sampler.interpolation = interpolation;
        animation.samplers.push_back(sampler);
        tinygltf::AnimationChannel channel;
        channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
        channel.target_node = node;
        channel.target_path = path;
        animation.channels.push_back(channel);
    }

    void transform(tinygltf::Animation& animation, int node, const std::vector<Vector3>& translation,
                   const std::vector<std::array<float, 4>>& rotation, const std::vector<Vector3>& scale)
    {
        tinygltf::Node& gltf = model_.nodes[node];
        if (!translation.empty()) {
            if (changes(translation))
                channel(animation, node, "translation", flat(translation), 3, "LINEAR");
            else if (translation.front() != Vector3())
                gltf.translation = {translation.front().x, translation.front().y, translation.front().z};
        }
        if (!rotation.empty()) {
            if (changes(rotation))
                channel(animation, node, "rotation", flat(rotation), 4, "LINEAR");
            else if (rotation.front() != std::array<float, 4>{0, 0, 0, 1})
                gltf.rotation = {rotation.front()[0], rotation.front()[1], rotation.front()[2], rotation.front()[3]};
        }
        if (!scale.empty()) {
            if (changes(scale))
                channel(animation, node, "scale", flat(scale), 3, "LINEAR");
            else if (scale.front() != Vector3(1, 1, 1))
                gltf.scale = {scale.front().x, scale.front().y, scale.front().z};
        }
    }

    void animate()
    {
        tinygltf::Animation animation;
        animation.name = "taldrex";
        for (Exported& e : exported_) {
            if (e.gltf >= 0)
                transform(animation, e.gltf, e.translation, e.rotation, e.scale);
            if (e.view >= 0)
                transform(animation, e.view, e.viewAt, e.viewTurn, {});
            if (e.light >= 0)
                transform(animation, e.light, e.lightAt, {}, {});
            if (e.shown >= 0) {
                if (changes(e.shownScale)) {
                    std::vector<float> scales;
                    for (float s : e.shownScale)
                        scales.insert(scales.end(), {s, s, s});
                    channel(animation, e.shown, "scale", scales, 3, "STEP");
                } else if (e.shownScale.front() == 0.0f) {
                    model_.nodes[e.shown].scale = {0, 0, 0};
                }
            }
            if (e.weights > 0) {
                tinygltf::Mesh& mesh = model_.meshes[model_.nodes[e.shown >= 0 ? e.shown : e.gltf].mesh];
                for (int i = 0; i < e.weights; ++i)
                    mesh.weights[i] = e.morphWeights[i];
                if (changes(e.morphWeights))
                    channel(animation, e.shown >= 0 ? e.shown : e.gltf, "weights", e.morphWeights, 1, "LINEAR");
            }
        }
        if (!animation.channels.empty())
            model_.animations.push_back(animation);
        for (Exported& e : exported_)
            model_.nodes[e.view >= 0 ? e.view : e.gltf].extras = taldrexExtras(e.extras);
    }

    // What the glTF draws otherwise than the player, said once for the whole scene.
    void noteLimits()
    {
        if (!hideable_.empty()) {
            std::string names;
            for (size_t i = 0; i < hideable_.size() && i < 3; ++i)
                names += (i ? ", \"" : "\"") + hideable_[i] + "\"";
            if (hideable_.size() > 3)
                names += " and " + std::to_string(hideable_.size() - 3) + " more";
            summary_.notes.push_back("visibility: " + std::to_string(hideable_.size()) + " mesh" +
                                     (hideable_.size() == 1 ? "" : "es") + " (" + names +
                                     ") hide by a scale of 0 (STEP) on a child named NAME:shown, which holds the "
                                     "geometry; KHR_node_visibility is not written (the glTF library cannot)");
        }
        if (nonFinite_ > 0)
            summary_.notes.push_back(std::to_string(nonFinite_) + " values that are not finite numbers (the player "
                                     "draws nothing from them) are written as 0");
        if (lightsMet_ > 0)
            summary_.notes.push_back("lights: glTF point lights fade with distance and the viewer chooses their "
                                     "brightness; the player's lights do not fade");
        if (translucent_)
            summary_.notes.push_back("translucent materials blend over what is behind them in glTF; the player adds "
                                     "their colour to it");
        if (sphereMapped_)
            summary_.notes.push_back("sphere maps are kept only in the materials' extras (taldrex.sphereMap, which "
                                     "taldrex-scene import reads back)");
        if (sphereMapped_ && textured_)
            summary_.notes.push_back("textured surfaces drawn after a sphere-mapped one cull their front faces in "
                                     "the player; the glTF culls back faces throughout");
        if (options_.demoFolder.empty() && textured_)
            summary_.notes.push_back("no --demo folder: the textures are left out");
    }

    struct MaterialInfo {
        int gltf;
        int kind;
        bool jpeg;
    };

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

} // namespace

int LastKeyFrame(const Scene& scene)
{
    int last = 0;
    lastKeyFrame(scene, last);
    return last;
}

bool ExportGltf(Scene& scene, const std::string& path, const GltfExportOptions& options, GltfExportSummary& summary,
                std::string& error)
{
    const bool binary = endsWith(path, ".glb");
    if (!binary && !endsWith(path, ".gltf")) {
        error = path + ": the name must end in .glb or .gltf";
        return false;
    }
    if (options.fps < 1 || options.fps > 1000) {
        error = "--fps must be 1 to 1000";
        return false;
    }
    try {
        Exporter exporter(scene, options, summary, options.sceneFile);
        exporter.build();
        tinygltf::TinyGLTF writer;
        bool written;
        if (binary) {
            // The library's own binary file writer does not say when the file cannot be
            // made, so the stream is checked here.
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            written = out && writer.WriteGltfSceneToStream(&exporter.model(), out, false, true);
            out.close();
            written = written && out;
        } else {
            written = writer.WriteGltfSceneToFile(&exporter.model(), path, false, false, true, false);
        }
        if (!written) {
            std::remove(path.c_str());
            error = path + ": cannot be written";
            return false;
        }
    } catch (const std::exception& e) {
        // The library reports some failures by throwing; none crosses this edge.
        error = path + ": " + e.what();
        return false;
    }
    return true;
}

#include "exporter.h"

#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"

namespace gltf_export {

tinygltf::Value::Object Exporter::kindExtras(const Node& node, int index)
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

tinygltf::Value Exporter::fovKeys(const CameraNode& camera)
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

int Exporter::addNode(const std::string& name)
{
    tinygltf::Node node;
    node.name = name;
    model_.nodes.push_back(node);
    return static_cast<int>(model_.nodes.size()) - 1;
}

int Exporter::makeNode(Node& node, bool topLevel)
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

int Exporter::makeCamera(CameraNode& camera)
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

void Exporter::attachLight(LightNode& light, size_t at)
{
    if (lightsMet_++ >= maxLights) {
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

} // namespace gltf_export

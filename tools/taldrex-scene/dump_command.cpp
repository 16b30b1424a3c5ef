#include "dump_command.h"

#include "common/printable_text.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {



void indent(int depth)
{
    std::printf("%*s", depth * 2, "");
}

// "<label>: n keys at f0 f1 ..." for any track whose keys are pointers with a frame.
template <typename Keys>
void printKeys(int depth, const char* label, const Keys& keys)
{
    indent(depth);
    std::printf("%s: %d key%s", label, keys.size(), keys.size() == 1 ? "" : "s");
    if (keys.size() > 0)
        std::printf(" at");
    for (const auto& key : keys)
        std::printf(" %d", key->frame);
    std::printf("\n");
}

void printMesh(int depth, const MeshNode& mesh)
{
    indent(depth);
    std::printf("vertices %d, faces %d", mesh.vertices.size(), mesh.faceCount);
    if (mesh.droppedFaces > 0)
        std::printf(" (%d dropped: vertex index outside the vertex list)", mesh.droppedFaces);
    std::printf(", groups %d\n", mesh.faceGroups.size());
    for (int g = 0; g < mesh.faceGroups.size(); ++g) {
        const FaceGroup& group = *mesh.faceGroups[g];
        indent(depth + 1);
        std::printf("group %d: material %d", g, group.materialIndex);
        if (group.material)
            std::printf(" \"%s\"", PrintableText(group.material->name).c_str());
        else
            std::printf(" (no such material)");
        std::printf(", faces %d\n", group.faces.size());
    }
    if (mesh.skippedFaceIndices > 0) {
        indent(depth);
        std::printf("group face indices skipped %d: no such face\n", mesh.skippedFaceIndices);
    }
    indent(depth);
    const MorphTrack& morph = mesh.morphTrack;
    std::printf("morph: %d key%s", morph.keys.size(), morph.keys.size() == 1 ? "" : "s");
    if (morph.keys.size() > 0)
        std::printf(" at");
    for (const MorphKey& key : morph.keys)
        std::printf(" %d", key.frame);
    if (morph.keys.size() > 0 && !mesh.morphs())
        std::printf(" (ignored: key vertex counts differ from the mesh's %d)", mesh.vertices.size());
    std::printf("\n");
}

void printNode(int depth, const Node& node)
{
    indent(depth);
    std::printf("%s \"%s\"", NodeKindName(node.kind), PrintableText(node.name).c_str());
    const TargetNode* target = nullptr;
    if (node.kind == NodeKind::Camera)
        target = static_cast<const CameraNode&>(node).target;
    if (node.kind == NodeKind::Spot)
        target = static_cast<const SpotNode&>(node).target;
    if (node.kind == NodeKind::Camera || node.kind == NodeKind::Spot)
        std::printf(target ? " -> target \"%s\"" : " (no target)", target ? PrintableText(target->name).c_str() : "");
    if (node.kind == NodeKind::Mesh && static_cast<const MeshNode&>(node).transparent)
        std::printf(" (transparent)");
    std::printf("\n");

    int inner = depth + 1;
    const Vector3* colour = nullptr;
    if (node.kind == NodeKind::Spot)
        colour = &static_cast<const SpotNode&>(node).colour;
    if (node.kind == NodeKind::Light)
        colour = &static_cast<const LightNode&>(node).colour;
    if (colour) {
        indent(inner);
        std::printf("colour %g %g %g\n", colour->x, colour->y, colour->z);
    }
    printKeys(inner, "position", node.positionTrack.keys);
    switch (node.kind) {
    case NodeKind::Mesh: {
        const auto& mesh = static_cast<const MeshNode&>(node);
        printKeys(inner, "rotation", mesh.rotationTrack.keys);
        printKeys(inner, "scale", mesh.scaleTrack.keys);
        break;
    }
    case NodeKind::Camera: {
        const auto& cam = static_cast<const CameraNode&>(node);
        printKeys(inner, "roll", cam.rollTrack.keys);
        printKeys(inner, "fov", cam.fovTrack.keys);
        break;
    }
    case NodeKind::Spot: {
        const auto& spot = static_cast<const SpotNode&>(node);
        printKeys(inner, "first", spot.firstTrack.keys);
        printKeys(inner, "second", spot.secondTrack.keys);
        break;
    }
    case NodeKind::Light: {
        const auto& light = static_cast<const LightNode&>(node);
        printKeys(inner, "rotation", light.rotationTrack.keys);
        printKeys(inner, "scale", light.scaleTrack.keys);
        break;
    }
    case NodeKind::Transform: {
        const auto& transform = static_cast<const TransformNode&>(node);
        printKeys(inner, "rotation", transform.rotationTrack.keys);
        printKeys(inner, "scale", transform.scaleTrack.keys);
        break;
    }
    case NodeKind::Scene:
    case NodeKind::Target:
        break;
    }
    if (node.kind != NodeKind::Target)
        printKeys(inner, "visibility", node.visibilityTrack.keys);
    if (node.kind == NodeKind::Mesh)
        printMesh(inner, static_cast<const MeshNode&>(node));
    for (const std::unique_ptr<Node>& child : node.children)
        printNode(inner, *child);
}

void printMaterial(int index, const Material& material)
{
    std::printf("  material %d \"%s\": render mode kind %d", index, PrintableText(material.name).c_str(),
                material.renderModeKind());
    if (material.drawnKind() != material.renderModeKind())
        std::printf(" (undrawable slot %d ignored: drawn as kind %d)", Material::undrawableSlot,
                    material.drawnKind());
    std::printf(", alpha %g\n", material.alpha());
    for (int slot = 0; slot < Material::mapCount; ++slot) {
        const MaterialMap& map = material.maps[slot];
        if (!map.present())
            continue;
        std::printf("    map %d: \"%s\" amount %g", slot, PrintableText(map.mapFile).c_str(), map.amount);
        if (slot == Material::surfaceSlot || slot == Material::environmentSlot)
            std::printf(" (texture %s, else %s)", PrintableText(map.textureName()).c_str(),
                        PrintableText(map.fallbackTextureName()).c_str());
        std::printf("\n");
    }
}

// Text from the file as a JSON string: made printable first (so invalid UTF-8 and control
// characters read \xNN), then quoted.
std::string json(const std::string& text)
{
    std::string out = "\"";
    for (char c : PrintableText(text)) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// A float as JSON: null for NaN and infinities, which JSON cannot hold.
std::string json(float value)
{
    if (value != value || value - value != 0.0f)
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

template <typename Keys>
std::string jsonFrames(const Keys& keys)
{
    std::string out = "[";
    for (const auto& key : keys)
        out += (out.size() > 1 ? "," : "") + std::to_string(key->frame);
    return out + "]";
}

std::string jsonNode(const Node& node)
{
    std::string out = "{\"kind\":\"" + std::string(NodeKindName(node.kind)) + "\",\"name\":" + json(node.name);
    const TargetNode* target = nullptr;
    if (node.kind == NodeKind::Camera)
        target = static_cast<const CameraNode&>(node).target;
    if (node.kind == NodeKind::Spot)
        target = static_cast<const SpotNode&>(node).target;
    if (node.kind == NodeKind::Camera || node.kind == NodeKind::Spot)
        out += ",\"target\":" + (target ? json(target->name) : std::string("null"));
    const Vector3* colour = nullptr;
    if (node.kind == NodeKind::Spot)
        colour = &static_cast<const SpotNode&>(node).colour;
    if (node.kind == NodeKind::Light)
        colour = &static_cast<const LightNode&>(node).colour;
    if (colour)
        out += ",\"colour\":[" + json(colour->x) + "," + json(colour->y) + "," + json(colour->z) + "]";
    out += ",\"tracks\":{\"position\":" + jsonFrames(node.positionTrack.keys);
    switch (node.kind) {
    case NodeKind::Mesh: {
        const auto& mesh = static_cast<const MeshNode&>(node);
        out += ",\"rotation\":" + jsonFrames(mesh.rotationTrack.keys) + ",\"scale\":" + jsonFrames(mesh.scaleTrack.keys);
        break;
    }
    case NodeKind::Camera: {
        const auto& camera = static_cast<const CameraNode&>(node);
        out += ",\"roll\":" + jsonFrames(camera.rollTrack.keys) + ",\"fov\":" + jsonFrames(camera.fovTrack.keys);
        break;
    }
    case NodeKind::Spot: {
        const auto& spot = static_cast<const SpotNode&>(node);
        out += ",\"first\":" + jsonFrames(spot.firstTrack.keys) + ",\"second\":" + jsonFrames(spot.secondTrack.keys);
        break;
    }
    case NodeKind::Light: {
        const auto& light = static_cast<const LightNode&>(node);
        out += ",\"rotation\":" + jsonFrames(light.rotationTrack.keys) + ",\"scale\":" + jsonFrames(light.scaleTrack.keys);
        break;
    }
    case NodeKind::Transform: {
        const auto& transform = static_cast<const TransformNode&>(node);
        out += ",\"rotation\":" + jsonFrames(transform.rotationTrack.keys) +
               ",\"scale\":" + jsonFrames(transform.scaleTrack.keys);
        break;
    }
    case NodeKind::Scene:
    case NodeKind::Target:
        break;
    }
    if (node.kind != NodeKind::Target)
        out += ",\"visibility\":" + jsonFrames(node.visibilityTrack.keys);
    out += "}";
    if (node.kind == NodeKind::Mesh) {
        const auto& mesh = static_cast<const MeshNode&>(node);
        out += ",\"transparent\":" + std::string(mesh.transparent ? "true" : "false");
        out += ",\"mesh\":{\"vertices\":" + std::to_string(mesh.vertices.size()) +
               ",\"faces\":" + std::to_string(mesh.faceCount) +
               ",\"droppedFaces\":" + std::to_string(mesh.droppedFaces) +
               ",\"skippedFaceIndices\":" + std::to_string(mesh.skippedFaceIndices) + ",\"groups\":[";
        for (int g = 0; g < mesh.faceGroups.size(); ++g) {
            const FaceGroup& group = *mesh.faceGroups[g];
            out += std::string(g ? "," : "") + "{\"material\":" + std::to_string(group.materialIndex) +
                   ",\"bound\":" + (group.material ? "true" : "false") +
                   ",\"faces\":" + std::to_string(group.faces.size()) + "}";
        }
        out += "],\"morph\":[";
        for (int k = 0; k < mesh.morphTrack.keys.size(); ++k)
            out += (k ? "," : "") + std::to_string(mesh.morphTrack.keys[k].frame);
        out += "],\"morphIgnored\":" +
               std::string(mesh.morphTrack.keys.size() > 0 && !mesh.morphs() ? "true" : "false") + "}";
    }
    out += ",\"children\":[";
    for (int c = 0; c < node.children.size(); ++c)
        out += (c ? "," : "") + jsonNode(*node.children[c]);
    return out + "]}";
}

std::string jsonMaterial(const Material& material)
{
    std::string out = "{\"name\":" + json(material.name) +
                      ",\"renderModeKind\":" + std::to_string(material.renderModeKind()) +
                      ",\"drawnKind\":" + std::to_string(material.drawnKind()) + ",\"alpha\":" + json(material.alpha()) +
                      ",\"maps\":[";
    bool first = true;
    for (int slot = 0; slot < Material::mapCount; ++slot) {
        const MaterialMap& map = material.maps[slot];
        if (!map.present())
            continue;
        out += std::string(first ? "" : ",") + "{\"slot\":" + std::to_string(slot) + ",\"file\":" + json(map.mapFile) +
               ",\"amount\":" + json(map.amount) + "}";
        first = false;
    }
    return out + "]}";
}

// What reading the file came to, for both outputs.
struct Outcome {
    long long size = -1;       // the file's size in bytes
    long long stoppedAt = -1;  // where reading stopped, -1 when it read the file whole
    bool notScene = false;     // the first node type id is no node kind
};

// A scene file starts with two header words and the type id of its first node: 0 to 5 for
// the node kinds, or -1 for an empty node list. Anything else is not a scene file at all.
Outcome outcomeOf(const std::string& path, const Scene& scene)
{
    Outcome outcome;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        outcome.size = static_cast<long long>(info.st_size);
    if (!scene.reader->failed())
        return outcome;
    outcome.stoppedAt = static_cast<long long>(scene.reader->failedOffset());
    std::ifstream in(path, std::ios::binary);
    int32_t words[3] = {};
    if (in.read(reinterpret_cast<char*>(words), sizeof words))
        outcome.notScene = words[2] < -1 || words[2] > 5;
    return outcome;
}

void printText(const std::string& path, const Scene& scene, const Outcome& outcome)
{
    std::printf("scene %s\n", PrintableText(path).c_str());
    if (outcome.notScene) {
        std::printf("not a scene file: the first node type id at byte 8 is no node kind (0 to 5, or -1)\n");
        return;
    }
    std::printf("header %d %d\n", scene.headerA, scene.headerB);
    std::printf("nodes %d at top level, lights %d, camera %s\n", scene.children.size(), scene.lightCount,
                scene.camera ? ("\"" + PrintableText(scene.camera->name) + "\"").c_str() : "none");
    for (const std::unique_ptr<Node>& child : scene.children)
        printNode(1, *child);
    std::printf("materials %d\n", scene.materials.size());
    for (int i = 0; i < scene.materials.size(); ++i)
        printMaterial(i, *scene.materials[i]);
    if (outcome.stoppedAt >= 0)
        std::printf("damaged: reading stopped at byte %lld of %lld in %s\n", outcome.stoppedAt, outcome.size,
                    PrintableText(path).c_str());
}

void printJson(const std::string& path, const Scene& scene, const Outcome& outcome)
{
    std::string out = "{\"file\":" + json(path) + ",\"size\":" + std::to_string(outcome.size) +
                      ",\"sceneFile\":" + (outcome.notScene ? "false" : "true");
    out += ",\"stoppedAt\":" + (outcome.stoppedAt >= 0 ? std::to_string(outcome.stoppedAt) : std::string("null"));
    out += ",\"header\":[" + std::to_string(scene.headerA) + "," + std::to_string(scene.headerB) + "]";
    out += ",\"lights\":" + std::to_string(scene.lightCount) +
           ",\"camera\":" + (scene.camera ? json(scene.camera->name) : std::string("null")) + ",\"nodes\":[";
    for (int c = 0; c < scene.children.size(); ++c)
        out += (c ? "," : "") + jsonNode(*scene.children[c]);
    out += "],\"materials\":[";
    for (int m = 0; m < scene.materials.size(); ++m)
        out += (m ? "," : "") + jsonMaterial(*scene.materials[m]);
    out += "],\"notes\":[";
    const std::vector<SceneNote>& notes = scene.reader->notes();
    for (size_t n = 0; n < notes.size(); ++n)
        out += (n ? "," : "") + std::string("{\"offset\":") + std::to_string(notes[n].offset) +
               ",\"node\":" + json(notes[n].node) + ",\"problem\":" + json(notes[n].problem) + "}";
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

// Prints the scene file; 0 when it was read whole, 1 when it cannot be opened, 2 when
// the data is damaged, cut short or no scene file.
int dump(const std::string& path, bool asJson)
{
    Scene scene;
    if (scene.loadFile(path.c_str()) != 0) {
        std::fprintf(stderr, "taldrex-scene: %s: cannot open the file\n", PrintableText(path).c_str());
        return 1;
    }
    const Outcome outcome = outcomeOf(path, scene);
    if (asJson)
        printJson(path, scene, outcome);
    else
        printText(path, scene, outcome);
    return outcome.stoppedAt >= 0 ? 2 : 0;
}

} // namespace

void AddDumpCommand(CLI::App& app, int& status)
{
    CLI::App* command =
        app.add_subcommand("dump", "Print a scene file's header, node tree, tracks, meshes and materials");
    command->footer("Exit status: 0 read whole, 1 the file cannot be opened, 2 damaged (the byte where reading "
                    "stopped is printed beside the file's size) or not a scene file.\n");
    auto file = std::make_shared<std::string>();
    auto asJson = std::make_shared<bool>(false);
    command->add_option("SCENE", *file, "the scene file")->required();
    command->add_flag("--json", *asJson, "print one JSON object for tools instead of text");
    command->callback([&status, file, asJson] { status = dump(*file, *asJson); });
}

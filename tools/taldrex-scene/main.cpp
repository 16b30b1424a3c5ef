// taldrex-scene: prints what a scene file holds (nodes, tracks, meshes, materials) and,
// for a damaged file, the byte offset where reading stopped.
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"
#include "common/printable_text.h"
#include "scene/scene.h"
#include "import_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace {

const char* kindName(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Scene:
        return "scene";
    case NodeKind::Mesh:
        return "mesh";
    case NodeKind::Camera:
        return "camera";
    case NodeKind::Target:
        return "target";
    case NodeKind::Spot:
        return "spot";
    case NodeKind::Light:
        return "light";
    case NodeKind::Transform:
        return "transform";
    }
    return "?";
}

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
    std::printf("%s \"%s\"", kindName(node.kind), PrintableText(node.name).c_str());
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

// Prints the scene file; 0 when it was read whole, 1 when it cannot be opened, 2 when
// the data is damaged or cut short.
int dump(const std::string& path)
{
    Scene scene;
    if (scene.loadFile(path.c_str()) != 0) {
        std::fprintf(stderr, "taldrex-scene: %s: cannot open the file\n", PrintableText(path).c_str());
        return 1;
    }
    std::printf("scene %s\n", PrintableText(path).c_str());
    std::printf("header %d %d\n", scene.headerA, scene.headerB);
    std::printf("nodes %d at top level, lights %d, camera %s\n", scene.children.size(),
                scene.lightCount,
                scene.camera ? ("\"" + PrintableText(scene.camera->name) + "\"").c_str() : "none");
    for (const std::unique_ptr<Node>& child : scene.children)
        printNode(1, *child);
    std::printf("materials %d\n", scene.materials.size());
    for (int i = 0; i < scene.materials.size(); ++i)
        printMaterial(i, *scene.materials[i]);
    if (scene.reader->failed()) {
        std::printf("damaged: reading stopped at byte %lld of %s\n",
                    static_cast<long long>(scene.reader->failedOffset()), PrintableText(path).c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Shows what a Taldrex scene file holds."};
    app.require_subcommand(1);
    std::string file;
    CLI::App* dumpCommand = app.add_subcommand(
        "dump", "Print header, node tree, tracks, meshes and materials; exit 2 if damaged");
    dumpCommand->add_option("FILE", file, "scene file")->required();
    ImportCommand importCommand(app);
    CLI11_PARSE(app, argc, argv);
    if (importCommand.chosen())
        return importCommand.run();
    return dump(file);
}

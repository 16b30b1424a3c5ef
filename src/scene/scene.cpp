#include "scene/scene.h"

#include "common/keyed_hash.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr int32_t endOfList = -1;
constexpr int32_t lightTypeId = 4;
// The smallest material record: an empty name and eleven amounts with empty file names.
constexpr size_t minMaterialBytes = 1 + Material::mapCount * (4 + 1);

// The node class of a file type id; null for an id the format does not know.
std::unique_ptr<Node> createNode(int32_t typeId, Node* parent)
{
    switch (typeId) {
    case 0:
        return std::make_unique<MeshNode>(parent);
    case 1:
        return std::make_unique<CameraNode>(parent);
    case 2:
        return std::make_unique<TargetNode>(parent);
    case 3:
        return std::make_unique<SpotNode>(parent);
    case lightTypeId:
        return std::make_unique<LightNode>(parent);
    case 5:
        return std::make_unique<TransformNode>(parent);
    default:
        return nullptr;
    }
}

} // namespace

Scene::Scene() : Node(NodeKind::Scene, nullptr) {}

Scene::~Scene() = default;

int Scene::loadFile(const char* path, const TextureLookup& textures, const DataFolder& folder)
{
    reader = std::make_unique<SceneReader>();
    if (!reader->open(path, folder))
        return 1;
    readScene(*reader, textures);
    return 0;
}

void Scene::loadMemory(const void* data, size_t size, const TextureLookup& textures)
{
    reader = std::make_unique<SceneReader>();
    reader->openMemory(data, size);
    readScene(*reader, textures);
}

void Scene::readScene(SceneReader& in, const TextureLookup& textures)
{
    textureEntries_.clear();
    in.readInt32(headerA);
    in.readInt32(headerB);
    int32_t typeId = endOfList;
    in.readInt32(typeId);
    readNodeList(in, *this, typeId, 1);
    readMaterials(in, textures);
    in.close();

    bindMaterials(*this);
    linkTargets(*this);
    prepareTracks(*this);
}

// Reads the entries of one level, starting with the type id already read, up to and
// including the level's end marker. Children are read by recursion as they come. The
// level's nodes are gathered first and moved into the parent's child array at once, so a
// long list of siblings costs linear time.
void Scene::readNodeList(SceneReader& in, Node& parent, int32_t typeId, int depth)
{
    std::vector<std::unique_ptr<Node>> level;
    while (typeId != endOfList && !in.failed()) {
        std::unique_ptr<Node> node = depth > maxNodeDepth ? nullptr : createNode(typeId, &parent);
        if (!node) {
            // Too deep, or a type id the format does not know: the data is damaged from
            // that type id on (the failure offset points at it).
            in.stepBack(sizeof typeId);
            in.fail();
            break;
        }
        if (typeId == lightTypeId)
            ++lightCount;
        const size_t firstNote = in.notes().size();
        node->load(in);
        in.attributeNotes(firstNote, node->name);
        Node& attached = *node;
        level.push_back(std::move(node));

        int32_t childTypeId = endOfList;
        in.readInt32(childTypeId);
        if (childTypeId != endOfList)
            readNodeList(in, attached, childTypeId, depth + 1);

        typeId = endOfList;
        in.readInt32(typeId);
    }
    GrowableArray<std::unique_ptr<Node>>& children = parent.children;
    const int first = children.size();
    children.setSize(first + static_cast<int>(level.size()));
    for (size_t i = 0; i < level.size(); ++i)
        children[first + static_cast<int>(i)] = std::move(level[i]);
}

void Scene::readMaterials(SceneReader& in, const TextureLookup& textures)
{
    int32_t discarded = 0;
    in.readInt32(discarded);
    int32_t count = in.readCount(minMaterialBytes, "materials");
    materials.setSize(count);
    renderModes.setSize(count);
    char text[materialNameBufferBytes];
    int32_t made = 0;
    for (; made < count && !in.failed(); ++made) {
        text[0] = '\0';
        in.readString(text, sizeof text);
        materials[made] = std::make_unique<Material>(text);
        Material& material = *materials[made];
        for (int slot = 0; slot < Material::mapCount; ++slot) {
            float amount = 0.0f;
            text[0] = '\0';
            in.readFloat32(amount);
            in.readString(text, sizeof text);
            // A strict test: 0, negative amounts and NaN leave the slot empty.
            if (amount > 0.0f)
                material.setMap(slot, text, amount);
        }
        renderModes[made] = makeRenderMode(material, textures);
    }
    // Damaged data ends the list where it stops: materials never reached are not made up.
    materials.setSize(made);
    renderModes.setSize(made);
}

// Every material gets exactly one mode, so a group's material index is also its mode's.
// The undrawable slot is ignored when choosing it: such a material draws as if the slot
// were empty.
std::unique_ptr<RenderMode> Scene::makeRenderMode(const Material& material, const TextureLookup& textures)
{
    int32_t kind = material.drawnKind();
    // drawnKind is always one of the four kinds, so a mode is always made.
    std::unique_ptr<RenderMode> mode = CreateRenderMode(static_cast<uint32_t>(kind));
    const MaterialMap& surface = material.maps[Material::surfaceSlot];
    const MaterialMap& environment = material.maps[Material::environmentSlot];
    if (kind & Material::surfaceKind)
        appendTexture(*mode, surface.findMapTexture(textures));
    if (kind & Material::environmentKind)
        appendTexture(*mode, environment.findMapTexture(textures));
    if (kind != Material::plainKind)
        mode->alpha = material.alpha();
    return mode;
}

void Scene::appendTexture(RenderMode& mode, const uint32_t* entry)
{
    mode.textures.append(entry ? static_cast<int32_t>(*entry) : 0);
    if (entry)
        textureEntries_.push_back(TextureEntry{&mode, mode.textures.size() - 1, entry});
}

void Scene::bindMaterials(Node& node)
{
    for (std::unique_ptr<Node>& child : node.children) {
        if (child->kind == NodeKind::Mesh) {
            auto& mesh = static_cast<MeshNode&>(*child);
            mesh.bindMaterials(materials);
            mesh.bindRenderModes(renderModes);
            if (reader)
                noteUnboundGroups(mesh);
        }
        bindMaterials(*child);
    }
}

void Scene::upload()
{
    for (const TextureEntry& found : textureEntries_)
        found.mode->textures[found.index] = static_cast<int32_t>(*found.entry);
    textureEntries_.clear();
    uploadSubtree(*this, true);
}

void Scene::release()
{
    uploadSubtree(*this, false);
}

void Scene::uploadSubtree(Node& node, bool build)
{
    for (std::unique_ptr<Node>& child : node.children) {
        if (child->kind == NodeKind::Mesh) {
            auto& mesh = static_cast<MeshNode&>(*child);
            if (build)
                mesh.buildDisplayList();
            else
                mesh.releaseDisplayList();
        }
        uploadSubtree(*child, build);
    }
}

void Scene::noteUnboundGroups(const MeshNode& mesh)
{
    const size_t firstNote = reader->notes().size();
    for (const std::unique_ptr<FaceGroup>& group : mesh.faceGroups)
        if (!group->renderMode && !group->faces.empty())
            reader->note(group->offset, "material index " + std::to_string(group->materialIndex) +
                                            " of a group names none of the " + std::to_string(materials.size()) +
                                            " materials; its " + std::to_string(group->faces.size()) +
                                            " faces are not drawn");
    reader->attributeNotes(firstNote, mesh.name);
}

void Scene::linkTargets(Node& node)
{
    // The names the cameras and spots among the children look for, each with the last
    // same-named target met in one pass over the children. Keyed hashing keeps every step
    // constant on average whatever the names are: they cannot be made to share a bucket.
    std::unordered_map<std::string_view, TargetNode*, KeyedNameHash> wanted;
    for (const std::unique_ptr<Node>& child : node.children)
        if (child->kind == NodeKind::Camera || child->kind == NodeKind::Spot)
            wanted.emplace(child->name, nullptr);
    if (!wanted.empty()) {
        for (const std::unique_ptr<Node>& child : node.children) {
            if (child->kind != NodeKind::Target)
                continue;
            auto found = wanted.find(child->name);
            if (found != wanted.end())
                found->second = static_cast<TargetNode*>(child.get());
        }
    }

    for (std::unique_ptr<Node>& child : node.children) {
        if (child->kind == NodeKind::Camera || child->kind == NodeKind::Spot) {
            TargetNode* target = wanted.find(child->name)->second;
            if (child->kind == NodeKind::Camera) {
                camera = static_cast<CameraNode*>(child.get());
                camera->target = target;
            } else {
                static_cast<SpotNode&>(*child).target = target;
            }
        }
        linkTargets(*child);
    }
}

void Scene::prepareTracks(Node& node)
{
    for (std::unique_ptr<Node>& child : node.children) {
        child->prepare();
        prepareTracks(*child);
    }
}

void Scene::evaluateNodes(float time)
{
    evaluateSubtree(*this, time);
}

void Scene::evaluateSubtree(Node& node, float time)
{
    for (std::unique_ptr<Node>& child : node.children) {
        child->evaluate(time, true);
        evaluateSubtree(*child, time);
    }
}

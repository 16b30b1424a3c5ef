#include "gltf_import.h"

#include "import_names.h"
#include "importer.h"

#include <tiny_gltf.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace gltf_import {

uint64_t nodeBytes(const NodeSpec& node)
{
    uint64_t bytes = 8 + node.name.size() + 1 + 4 * 7 + 40 * (node.position.keys.size() + node.rotation.keys.size() +
                                                              node.scale.keys.size() + node.roll.keys.size() + node.fov.keys.size());
    bytes += node.vertices.size() * 12 + node.faces.size() * 36 + node.groups.size() * 8;
    for (const GroupSpec& g : node.groups)
        bytes += g.faces.size() * 4;
    for (const MorphKeySpec& k : node.morph.keys)
        bytes += 28 + k.positions.size() * 12;
    for (const NodeSpec& child : node.children)
        bytes += nodeBytes(child);
    return bytes;
}

void Importer::warnOnce(const std::string& key, const std::string& line)
{
    if (warned_.insert(key).second)
        show_.warnings.push_back(line);
}

void Importer::checkModel()
{
    static const std::set<std::string> understood = {"KHR_texture_transform", "KHR_lights_punctual", "EXT_texture_webp", "EXT_mesh_gpu_instancing",
                                                     "KHR_mesh_quantization", "KHR_materials_emissive_strength"};
    for (const std::string& ext : model_.extensionsRequired)
        if (!understood.count(ext))
            fail("requires the extension " + ext + ", which the importer does not support");
    for (const std::string& ext : model_.extensionsUsed)
        if (!understood.count(ext) && ext.rfind("KHR_materials_", 0) != 0)
            show_.warnings.push_back("extension " + ext + " is not supported, ignored");
}

void Importer::chooseScene()
{
    if (model_.scenes.empty()) {
        fail("holds no scene");
    }
    scene_ = options_.scene >= 0 ? options_.scene : (model_.defaultScene >= 0 ? model_.defaultScene : 0);
    if (size_t(scene_) >= model_.scenes.size())
        fail("has no scene " + std::to_string(scene_) + " (it has " + std::to_string(model_.scenes.size()) + ")");
}

// Sets parent_ and order_ for the chosen scene, refusing shared nodes, cycles and trees
// deeper than the player reads.
void Importer::walkTree()
{
    const size_t n = model_.nodes.size();
    parent_.assign(n, -1);
    std::vector<char> seen(n, 0);
    struct Item {
        int node, depth;
    };
    std::vector<Item> stack;
    const std::vector<int>& roots = model_.scenes[size_t(scene_)].nodes;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.push_back({*it, 1});
    while (!stack.empty()) {
        Item item = stack.back();
        stack.pop_back();
        if (item.node < 0 || size_t(item.node) >= n)
            fail("names node " + std::to_string(item.node) + ", which does not exist");
        if (seen[size_t(item.node)])
            fail("node " + std::to_string(item.node) + " appears twice in the scene's tree");
        seen[size_t(item.node)] = 1;
        // A light becomes a child one level further down.
        if (item.depth + 1 > maxDepth)
            fail("its node tree is deeper than the " + std::to_string(maxDepth - 1) + " levels the player reads");
        order_.push_back(item.node);
        const tinygltf::Node& node = model_.nodes[size_t(item.node)];
        for (const std::vector<double>* values : {&node.translation, &node.rotation, &node.scale, &node.matrix, &node.weights})
            for (double v : *values)
                if (!std::isfinite(v))
                    fail("node " + std::to_string(item.node) + " has a transform or weight that is not a finite number");
        const std::vector<int>& children = node.children;
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (*it >= 0 && size_t(*it) < n && parent_[size_t(*it)] == -1)
                parent_[size_t(*it)] = item.node;
            stack.push_back({*it, item.depth + 1});
        }
    }
    // Joints may live outside the scene: give every node its parent.
    for (size_t i = 0; i < n; ++i)
        for (int child : model_.nodes[i].children)
            if (child >= 0 && size_t(child) < n && parent_[size_t(child)] == -1 && int(i) != child)
                parent_[size_t(child)] = int(i);
}

void Importer::convertNode(int index, std::vector<NodeSpec>& into)
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    // What taldrex-scene export kept of the player's node: its kind, and a mesh's groups.
    const tinygltf::Value* taldrex = taldrexOf(node.extras);
    const std::string kind =
        taldrex && taldrex->Get("kind").IsString() ? taldrex->Get("kind").Get<std::string>() : std::string();
    // A camera brings its own target, looking where the glTF camera looks.
    if (kind == "target" && node.children.empty() && node.mesh < 0)
        return;
    NodeSpec spec = makeNode(NodeType::Transform, playerName(node.name, "node" + std::to_string(index), maxNodeName));
    if (node.camera >= 0)
        convertCamera(index);
    // The groups of a mesh are on the node, or on its parent when a NAME:shown child
    // carries the geometry of a mesh that hides.
    const tinygltf::Value* groups = taldrex && taldrex->Get("groups").IsArray() ? &taldrex->Get("groups") : nullptr;
    const int parent = parent_[size_t(index)];
    if (!groups && parent >= 0 && node.name == model_.nodes[size_t(parent)].name + ":shown") {
        const tinygltf::Value* above = taldrexOf(model_.nodes[size_t(parent)].extras);
        if (above && above->Get("groups").IsArray())
            groups = &above->Get("groups");
    }
    bool shownChild = false;
    for (int child : node.children)
        shownChild = shownChild || (size_t(child) < model_.nodes.size() && model_.nodes[size_t(child)].name == node.name + ":shown");
    const size_t tracksBefore = show_.tracks.size();
    if (node.mesh >= 0 && node.skin >= 0 && size_t(node.skin) < model_.skins.size()) {
        const MeshData& mesh = meshData(node.mesh);
        NodeSpec skinned = makeNode(NodeType::Mesh, spec.name);
        if (mesh.hasSkinData) {
            convertSkin(index, mesh, skinned);
            skinned_.push_back(std::move(skinned));
            // The skinned mesh is drawn from its own world-space keys; the node stays only
            // for what hangs below it.
            if (node.children.empty() && node.camera < 0 && !node.extensions.count("KHR_lights_punctual"))
                return;
        } else {
            spec.type = NodeType::Mesh;
            convertMesh(index, spec);
        }
    } else if (node.mesh >= 0 && node.extensions.count("EXT_mesh_gpu_instancing")) {
        if (node.skin >= 0)
            fail("node " + quoted(spec.name) + " names skin " + std::to_string(node.skin) + ", which does not exist");
        convertInstances(index, spec);
    } else if (node.mesh >= 0) {
        if (node.skin >= 0)
            fail("node " + quoted(spec.name) + " names skin " + std::to_string(node.skin) + ", which does not exist");
        spec.type = NodeType::Mesh;
        convertMesh(index, spec);
        if (groups)
            exportedGroups(*groups, &meshData(node.mesh), spec);
    } else if (groups && !shownChild && kind == "mesh") {
        // A mesh without faces still sets its groups' materials when the player draws it.
        spec.type = NodeType::Mesh;
        exportedGroups(*groups, nullptr, spec);
    }
    convertTransform(index, spec);
    convertLight(index, spec);
    for (int child : node.children)
        convertNode(child, spec.children);
    makeNamesUnique(spec.children);
    // A node that only held a camera has nothing left to carry.
    if (node.camera >= 0 && node.mesh < 0 && spec.children.empty()) {
        show_.tracks.resize(tracksBefore);
        return;
    }
    into.push_back(std::move(spec));
}

void Importer::count(const NodeSpec& node)
{
    ++show_.nodes;
    auto track = [&](size_t keys) {
        ++show_.trackCount;
        show_.keyCount += int(keys);
    };
    switch (node.type) {
    case NodeType::Mesh:
        ++show_.meshes;
        // The faces drawn: those that only shape normals belong to no group.
        for (const GroupSpec& group : node.groups)
            show_.triangles += int(group.faces.size());
        track(node.position.keys.size()), track(node.rotation.keys.size()), track(node.scale.keys.size());
        if (!node.morph.keys.empty())
            track(node.morph.keys.size());
        break;
    case NodeType::Camera:
        ++show_.cameraCount;
        track(node.position.keys.size()), track(node.roll.keys.size()), track(node.fov.keys.size());
        break;
    case NodeType::Target:
        track(node.position.keys.size());
        break;
    case NodeType::Light:
        ++show_.lights;
        track(node.position.keys.size()), track(node.rotation.keys.size()), track(node.scale.keys.size());
        break;
    case NodeType::Scene:
    case NodeType::Spot:
        break;
    case NodeType::Transform:
        track(node.position.keys.size()), track(node.rotation.keys.size()), track(node.scale.keys.size());
        break;
    }
    for (const NodeSpec& child : node.children)
        count(child);
}

uint64_t Importer::sceneBytes() const
{
    uint64_t bytes = 16 + show_.scene.materials.size() * 400;
    for (const NodeSpec& node : show_.scene.nodes)
        bytes += nodeBytes(node);
    return bytes;
}

void Importer::run()
{
    stem_ = options_.name;
    show_.sceneFile = stem_ + ".scn";
    checkModel();
    chooseScene();
    walkTree();
    setUpAnimations();
    std::vector<NodeSpec> roots;
    for (int root : model_.scenes[size_t(scene_)].nodes)
        convertNode(root, roots);
    bool geometry = false;
    for (const auto& entry : meshes_)
        geometry = geometry || !entry.second->faces.empty();
    if (!geometry)
        fail("holds no geometry: no triangles in the scene");
    for (int node : orthographic_)
        convertOrthographic(node);
    if (cameras_.empty())
        addDefaultCamera();
    else
        show_.notes.push_back("the player draws every camera's picture at 83:65, whatever its aspect ratio");
    const double factor = fitDepthRange();
    // Cameras first, so a part finds each camera before any other node that shares its name.
    show_.scene.nodes = std::move(cameras_);
    for (NodeSpec& node : roots)
        show_.scene.nodes.push_back(std::move(node));
    for (NodeSpec& node : skinned_)
        show_.scene.nodes.push_back(std::move(node));
    makeNamesUnique(show_.scene.nodes);
    if (factor != 1)
        scaleScene(factor);
    if (model_.asset.generator == "taldrex-scene export")
        show_.notes.push_back("written by taldrex-scene export: groups, maps, light colours and field-of-view keys "
                              "are read back from its extras");
    if (mirroredMeshes_ > 0)
        show_.notes.push_back(std::to_string(mirroredMeshes_) +
                              (mirroredMeshes_ == 1 ? " mesh is mirrored by its node's matrix: its faces are"
                                                    : " meshes are mirrored by their nodes' matrices: their faces are") +
                              " written turned round, so the player culls the side glTF hides");
    if (backFaces_ > 0)
        show_.notes.push_back(std::to_string(backFaces_) +
                              (backFaces_ == 1 ? " face of a double-sided material is" : " faces of double-sided materials are") +
                              " also written turned round, on vertices of their own, so the player draws their backs "
                              "(--single-sided leaves them out)");
    if (instanceNodes_ > 0)
        show_.notes.push_back(std::to_string(instanceNodes_) + " instances (EXT_mesh_gpu_instancing) are written as a node "
                              "each, adding " +
                              (instanceBytes_ < (1u << 20) ? std::to_string(instanceBytes_) + " bytes"
                                                           : formatNumber(std::round(double(instanceBytes_) / 10485.76) / 100) + " MB") +
                              " to the scene file");
    if (shapedNormals_ > 0)
        show_.notes.push_back(std::to_string(shapedNormals_) + " vertices have the model's normal only by a face added "
                              "outside every group (the player averages the faces around a vertex)");
    bakePictures();
    fillMaterials();
    dropReplacedPictures();
    show_.materials = int(show_.scene.materials.size());
    for (const NodeSpec& node : show_.scene.nodes)
        count(node);
    if (sceneBytes() >= maxSceneBytes)
        fail("would make a scene file of more than 1 GiB, more than the player reads (try a larger --tolerance or a shorter animation)");
}

} // namespace gltf_import

namespace {

using namespace gltf_import;

// Deepest nesting of JSON arrays and objects read (glTF itself needs fewer than ten).
constexpr size_t maxJsonDepth = 1000;

// Image loading hook: keeps the encoded bytes of images given by URI, untouched, and leaves
// images in buffer views to be read later with their bounds checked.
bool keepImageBytes(tinygltf::Image* image, const int index, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void* user)
{
    auto* kept = static_cast<ImageBytes*>(user);
    if (image->bufferView < 0 && bytes && size > 0)
        kept->byIndex[index].assign(bytes, bytes + size);
    return true;
}

// File access for buffers and images named by URI: regular files only, so a name that
// leads to a FIFO or a device can neither hang the import nor read without end.
bool regularFileExists(const std::string& path, void*)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string pathAsGiven(const std::string& path, void*)
{
    return path;
}

bool readRegularFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void*)
{
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        if (err)
            *err += "cannot read " + path + " (not a readable regular file)\n";
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool writeNothing(std::string* err, const std::string& path, const std::vector<unsigned char>&, void*)
{
    if (err)
        *err += "the importer writes no file such as " + path + "\n";
    return false;
}

std::string baseNameOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base = base.substr(0, dot);
    return base;
}

// The deepest nesting of arrays and objects in JSON text (strings skipped). The JSON
// reader and the conversion of extras recurse once per level, so deep text must be refused
// before they see it.
size_t jsonDepth(const unsigned char* text, size_t size)
{
    size_t depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < size; ++i) {
        unsigned char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool importLoaded(bool loaded, const tinygltf::Model& model, const ImageBytes& images, const std::string& err,
                  const std::string& displayName, const ImportOptions& options, ImportedShow& show, std::string& error)
{
    if (!loaded) {
        std::string first = err.substr(0, std::min(err.find('\n'), size_t(200)));
        error = "not a readable glTF 2.0 file" + (first.empty() ? std::string() : ": " + first);
        return false;
    }
    if (model.asset.version.rfind("2.", 0) != 0) {
        error = "not glTF 2.0 (asset version " + quoted(model.asset.version) + ")";
        return false;
    }
    ImportOptions chosen = options;
    // The name becomes file names in the data folder: never a path.
    chosen.name = fileStem(chosen.name.empty() ? baseNameOf(displayName) : chosen.name);
    if (chosen.name.empty())
        chosen.name = "model";
    if (chosen.fps <= 0 || chosen.fps > 1000) {
        error = "--fps must be between 1 and 1000";
        return false;
    }
    show = ImportedShow();
    Importer importer(model, images, chosen, show);
    importer.run();
    return true;
}

} // namespace

bool importGltfMemory(const unsigned char* data, size_t size, const std::string& baseDir, const std::string& displayName,
                      const ImportOptions& options, ImportedShow& show, std::string& error)
{
    try {
        tinygltf::TinyGLTF loader;
        ImageBytes images;
        loader.SetImageLoader(keepImageBytes, &images);
        loader.SetFsCallbacks({regularFileExists, pathAsGiven, readRegularFile, writeNothing, nullptr});
        tinygltf::Model model;
        std::string err, warn;
        if (size > 0xFFFFFFFFu) {
            error = "larger than 4 GiB";
            return false;
        }
        bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
        const unsigned char* json = data;
        size_t jsonSize = size;
        if (binary && size >= 20) {
            uint32_t chunk;
            std::memcpy(&chunk, data + 12, 4);
            json = data + 20;
            jsonSize = std::min<size_t>(chunk, size - 20);
        }
        if (jsonDepth(json, jsonSize) > maxJsonDepth) {
            error = "its JSON nests arrays and objects more than " + std::to_string(maxJsonDepth) + " deep";
            return false;
        }
        bool loaded = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, data, unsigned(size), baseDir)
                             : loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(data),
                                                          unsigned(size), baseDir);
        return importLoaded(loaded, model, images, err, displayName, options, show, error);
    } catch (const ImportFailure& failure) {
        error = failure.what();
    } catch (const std::bad_alloc&) {
        error = "needs more memory than there is";
    } catch (const std::exception& e) {
        error = std::string("cannot be read: ") + e.what();
    } catch (...) {
        error = "cannot be read";
    }
    return false;
}

bool readFileBytes(const std::string& path, std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    struct stat status;
    bool ok = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    bytes.clear();
    char buffer[65536];
    size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    ok = ok && !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool importGltfFile(const std::string& path, const ImportOptions& options, ImportedShow& show, std::string& error)
{
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        error = "cannot be read (not a readable file)";
        return false;
    }
    size_t slash = path.find_last_of('/');
    std::string baseDir = slash == std::string::npos ? "." : path.substr(0, slash);
    return importGltfMemory(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), baseDir, path, options,
                            show, error);
}

// taldrex-scene export: the glTF of every bundled scene passes the Khronos validator, and
// every sampled value is what the player evaluates at that frame, read back from the file.
#include "desktop/child_process.h"
#include "gltf_export.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene_writer.h"
#include "support/missing.h"

#include <tiny_gltf.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const BundledScenes[] = {"intro", "orbit", "tunnel", "morph", "lights", "finale"};

std::string bundledShow()
{
    return std::string(TALDREX_BINARY_DIR) + "/show";
}

fs::path tempFolder(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / ("taldrex-export-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

bool noImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*)
{
    return true;
}

bool load(const std::string& path, tinygltf::Model& model)
{
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(noImage, nullptr);
    std::string error, warning;
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    bool loaded = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                         : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    EXPECT_TRUE(loaded) << path << ": " << error;
    return loaded;
}

// The floats of an accessor, tightly packed as the exporter writes them.
std::vector<float> floats(const tinygltf::Model& model, int accessor)
{
    const tinygltf::Accessor& a = model.accessors[accessor];
    const tinygltf::BufferView& view = model.bufferViews[a.bufferView];
    const int components = tinygltf::GetNumComponentsInType(a.type);
    const float* begin =
        reinterpret_cast<const float*>(model.buffers[view.buffer].data.data() + view.byteOffset + a.byteOffset);
    return std::vector<float>(begin, begin + a.count * components);
}

// The vertex of each corner of a primitive, as its index accessor gives them.
std::vector<uint32_t> cornerVertices(const tinygltf::Model& model, const tinygltf::Primitive& primitive)
{
    const tinygltf::Accessor& a = model.accessors[primitive.indices];
    const tinygltf::BufferView& view = model.bufferViews[a.bufferView];
    EXPECT_EQ(a.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    const auto* begin =
        reinterpret_cast<const uint32_t*>(model.buffers[view.buffer].data.data() + view.byteOffset + a.byteOffset);
    return std::vector<uint32_t>(begin, begin + a.count);
}

// A 4x4 column-major matrix, in doubles.
struct M4 {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

M4 multiply(const M4& a, const M4& b)
{
    M4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}

// glTF's local matrix: translation x rotation (x, y, z, w) x scale.
M4 trs(const double t[3], const double q[4], const double s[3])
{
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    M4 r;
    const double rot[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w),
                           2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                           2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)};
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            r.m[c * 4 + row] = rot[c * 3 + row] * s[c];
    r.m[12] = t[0];
    r.m[13] = t[1];
    r.m[14] = t[2];
    return r;
}

// The player's frame of a glTF matrix: glTF's axes are C times the player's, with
// C (x, y, z) = (x, z, -y), so the player's matrix is C^T M C.
M4 toPlayerAxes(const M4& gltf)
{
    M4 c;
    c.m[0] = 1;
    c.m[5] = 0, c.m[6] = -1;
    c.m[9] = 1, c.m[10] = 0;
    M4 ct;
    ct.m[0] = 1;
    ct.m[5] = 0, ct.m[6] = 1;
    ct.m[9] = -1, ct.m[10] = 0;
    return multiply(ct, multiply(gltf, c));
}

Vector3 fromGltfAxes(double x, double y, double z)
{
    return Vector3(float(x), float(-z), float(y));
}

// One glTF node's transform at every sample: fixed values, or the animation's outputs.
struct Sampled {
    std::vector<std::array<double, 3>> t, s;
    std::vector<std::array<double, 4>> r;
    std::vector<float> weights; // samples x targets
};

Sampled sampled(const tinygltf::Model& model, int node, size_t samples)
{
    const tinygltf::Node& n = model.nodes[node];
    Sampled out;
    std::array<double, 3> t{0, 0, 0}, s{1, 1, 1};
    std::array<double, 4> r{0, 0, 0, 1};
    if (n.translation.size() == 3)
        t = {n.translation[0], n.translation[1], n.translation[2]};
    if (n.scale.size() == 3)
        s = {n.scale[0], n.scale[1], n.scale[2]};
    if (n.rotation.size() == 4)
        r = {n.rotation[0], n.rotation[1], n.rotation[2], n.rotation[3]};
    out.t.assign(samples, t);
    out.s.assign(samples, s);
    out.r.assign(samples, r);
    for (const tinygltf::Animation& animation : model.animations)
        for (const tinygltf::AnimationChannel& channel : animation.channels) {
            if (channel.target_node != node)
                continue;
            const std::vector<float> v = floats(model, animation.samplers[channel.sampler].output);
            if (channel.target_path == "weights") {
                out.weights = v;
                continue;
            }
            for (size_t k = 0; k < samples; ++k) {
                if (channel.target_path == "translation")
                    out.t[k] = {v[3 * k], v[3 * k + 1], v[3 * k + 2]};
                if (channel.target_path == "scale")
                    out.s[k] = {v[3 * k], v[3 * k + 1], v[3 * k + 2]};
                if (channel.target_path == "rotation")
                    out.r[k] = {v[4 * k], v[4 * k + 1], v[4 * k + 2], v[4 * k + 3]};
            }
        }
    return out;
}

M4 at(const Sampled& s, size_t k)
{
    return trs(s.t[k].data(), s.r[k].data(), s.s[k].data());
}

void expectNear(const M4& gltf, const Matrix4& player, float tolerance, const std::string& what)
{
    for (int i = 0; i < 16; ++i) {
        const double scaleOf = std::max(1.0, std::fabs(double(player[i])));
        ASSERT_NEAR(gltf.m[i], player[i], tolerance * scaleOf) << what << ", element " << i;
    }
}

void expectNear(const Vector3& a, const Vector3& b, float tolerance, const std::string& what)
{
    const float scaleOf = std::max({1.0f, std::fabs(b.x), std::fabs(b.y), std::fabs(b.z)});
    ASSERT_NEAR(a.x, b.x, tolerance * scaleOf) << what;
    ASSERT_NEAR(a.y, b.y, tolerance * scaleOf) << what;
    ASSERT_NEAR(a.z, b.z, tolerance * scaleOf) << what;
}

// The glTF nodes of each player node, by the pre-order index in their extras; the helpers
// (:shown, :light) by their parent's.
struct NodeMap {
    std::map<int, int> main, shown, light;
};

NodeMap mapNodes(const tinygltf::Model& model)
{
    NodeMap map;
    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const tinygltf::Value& taldrex = model.nodes[i].extras.Get("taldrex");
        if (!taldrex.IsObject())
            continue;
        const int index = taldrex.Get("index").GetNumberAsInt();
        map.main[index] = static_cast<int>(i);
        for (int child : model.nodes[i].children) {
            const std::string& name = model.nodes[child].name;
            if (name == GltfNames::shown(model.nodes[i].name))
                map.shown[index] = child;
            if (name == GltfNames::light(model.nodes[i].name))
                map.light[index] = child;
        }
    }
    return map;
}

void preorder(Node& node, std::vector<Node*>& out)
{
    for (std::unique_ptr<Node>& child : node.children) {
        out.push_back(child.get());
        preorder(*child, out);
    }
}

// The corners of a mesh's glTF primitives in the order the exporter lays them down.
std::vector<std::vector<int>> primitiveCorners(const MeshNode& mesh)
{
    std::vector<std::vector<int>> primitives;
    for (const std::unique_ptr<FaceGroup>& group : mesh.faceGroups) {
        if (!group->material || group->faces.size() == 0)
            continue;
        const int kind = group->material->drawnKind();
        std::vector<int> corners;
        const bool flip = kind == Material::environmentKind && group->material->alpha() >= 1.0f;
        for (const Face& face : group->faces)
            for (int k : {0, flip ? 2 : 1, flip ? 1 : 2})
                corners.push_back(face.corners[k].vertex);
        if (kind == Material::plainKind)
            corners.resize(corners.size() / 2 * 2);
        primitives.push_back(corners);
    }
    return primitives;
}

// Exports the scene file, reads the glTF back and plays the same file in the player frame
// by frame, comparing every node's transform, visibility, camera view, light place and
// morphed shape at every sample.
void expectSamplesMatchThePlayer(const std::string& sceneFile, const std::string& out, int fps = 30)
{
    Scene exported;
    ASSERT_EQ(exported.loadFile(sceneFile.c_str()), 0) << sceneFile;
    GltfExportOptions options;
    options.fps = fps;
    GltfExportSummary summary;
    std::string error;
    ASSERT_TRUE(ExportGltf(exported, out, options, summary, error)) << error;
    tinygltf::Model model;
    ASSERT_TRUE(load(out, model));

    Scene player;
    ASSERT_EQ(player.loadFile(sceneFile.c_str()), 0);
    std::vector<Node*> nodes;
    preorder(player, nodes);
    const NodeMap map = mapNodes(model);
    const size_t samples = static_cast<size_t>(summary.samples);
    const int last = LastKeyFrame(player);
    ASSERT_EQ(samples, size_t((last * fps + 29) / 30 + 1));

    std::map<int, Sampled> main, shown, light;
    for (size_t i = 0; i < nodes.size(); ++i) {
        ASSERT_TRUE(map.main.count(int(i)) || (nodes[i]->kind == NodeKind::Camera)) << nodes[i]->name;
        if (map.main.count(int(i)))
            main[int(i)] = sampled(model, map.main.at(int(i)), samples);
        if (map.shown.count(int(i)))
            shown[int(i)] = sampled(model, map.shown.at(int(i)), samples);
        if (map.light.count(int(i)))
            light[int(i)] = sampled(model, map.light.at(int(i)), samples);
    }

    Vector3Array rest;
    for (size_t k = 0; k < samples; ++k) {
        const float frame = static_cast<float>(std::min(double(k) * 30.0 / fps, double(last)));
        player.evaluateNodes(frame);
        for (size_t i = 0; i < nodes.size(); ++i) {
            Node& node = *nodes[i];
            const std::string what = sceneFile + ": " + node.name + " at frame " + std::to_string(frame);
            switch (node.kind) {
            case NodeKind::Mesh:
            case NodeKind::Transform:
            case NodeKind::Light: {
                const M4 local = toPlayerAxes(at(main[int(i)], k));
                expectNear(local, node.matrix, 2e-5f, what);
                break;
            }
            default:
                break;
            }
            if (node.kind == NodeKind::Mesh && shown.count(int(i))) {
                ASSERT_EQ(shown[int(i)].s[k][0], node.visibilityTrack.visible ? 1.0 : 0.0) << what;
            }
            if (node.kind == NodeKind::Light && light.count(int(i))) {
                // The light child sits at the position in the node's frame: the player's
                // matrix applied to the position once more.
                const auto& t = light[int(i)].t[k];
                expectNear(fromGltfAxes(t[0], t[1], t[2]), node.position, 1e-5f, what + " (light)");
            }
            if (node.kind == NodeKind::Target) {
                const auto& t = main[int(i)].t[k];
                expectNear(fromGltfAxes(t[0], t[1], t[2]), node.position, 1e-5f, what);
            }
            if (node.kind == NodeKind::Camera) {
                auto& camera = static_cast<CameraNode&>(node);
                CameraLook view;
                const int viewNode = [&] {
                    for (size_t n = 0; n < model.nodes.size(); ++n)
                        if (model.nodes[n].camera >= 0 &&
                            model.nodes[n].extras.Get("taldrex").Get("index").GetNumberAsInt() == int(i))
                            return int(n);
                    return -1;
                }();
                ASSERT_GE(viewNode, 0) << what;
                const Sampled eye = sampled(model, viewNode, samples);
                if (!camera.viewAt(frame, view))
                    continue;
                // A top-level node: its matrix is its place in glTF's world, whose axes are
                // turned back to the player's one vector at a time.
                const M4 world = at(eye, k);
                expectNear(fromGltfAxes(world.m[12], world.m[13], world.m[14]), view.eye, 1e-5f, what + " (eye)");
                // The camera looks down its -Z with +Y up.
                Vector3 forward = view.centre - view.eye;
                forward *= 1.0f / std::sqrt(dot(forward, forward));
                expectNear(fromGltfAxes(-world.m[8], -world.m[9], -world.m[10]), forward, 1e-4f,
                           what + " (view direction)");
                Vector3 up = view.up - forward * dot(view.up, forward);
                up *= 1.0f / std::sqrt(dot(up, up));
                expectNear(fromGltfAxes(world.m[4], world.m[5], world.m[6]), up, 1e-4f, what + " (up)");
            }
            if (node.kind == NodeKind::Mesh && static_cast<MeshNode&>(node).morphs()) {
                auto& mesh = static_cast<MeshNode&>(node);
                const int meshNode = shown.count(int(i)) ? map.shown.at(int(i)) : map.main.at(int(i));
                const Sampled& carrier = shown.count(int(i)) ? shown[int(i)] : main[int(i)];
                const tinygltf::Mesh& gltfMesh = model.meshes[model.nodes[meshNode].mesh];
                const int targets = int(gltfMesh.weights.size());
                const Vector3Array& drawn = mesh.currentVertices();
                const std::vector<std::vector<int>> corners = primitiveCorners(mesh);
                ASSERT_EQ(corners.size(), gltfMesh.primitives.size()) << what;
                for (size_t p = 0; p < corners.size(); ++p) {
                    const tinygltf::Primitive& primitive = gltfMesh.primitives[p];
                    std::vector<float> position = floats(model, primitive.attributes.at("POSITION"));
                    for (int t = 0; t < targets; ++t) {
                        const float w = carrier.weights.empty() ? float(gltfMesh.weights[t])
                                                                : carrier.weights[k * targets + t];
                        const std::vector<float> offset = floats(model, primitive.targets[t].at("POSITION"));
                        for (size_t c = 0; c < position.size(); ++c)
                            position[c] += w * offset[c];
                    }
                    const std::vector<uint32_t> vertexOf = cornerVertices(model, primitive);
                    ASSERT_EQ(vertexOf.size(), corners[p].size()) << what;
                    for (size_t c = 0; c < corners[p].size(); ++c) {
                        const size_t v = vertexOf[c];
                        expectNear(fromGltfAxes(position[3 * v], position[3 * v + 1], position[3 * v + 2]),
                                   drawn[corners[p][c]], 1e-4f, what + " (morphed vertex)");
                    }
                }
            }
        }
    }
}

} // namespace

TEST(SceneExport, EverySampleOfEveryBundledSceneIsWhatThePlayerEvaluates)
{
    if (!fs::exists(bundledShow() + "/script.txt"))
        SKIP_FOR_MISSING("the bundled show has not been built");
    const fs::path dir = tempFolder("samples");
    for (const char* name : BundledScenes)
        expectSamplesMatchThePlayer(bundledShow() + "/data/" + name + ".scn", (dir / (std::string(name) + ".glb")).string());
    fs::remove_all(dir);
}

TEST(SceneExport, TheValidatorAcceptsEveryBundledSceneBinaryAndText)
{
    if (!fs::exists(bundledShow() + "/script.txt"))
        SKIP_FOR_MISSING("the bundled show has not been built");
    const fs::path dir = tempFolder("validator");
    std::vector<std::string> args = {"validate-gltf"};
    for (const char* name : BundledScenes) {
        Scene scene;
        ASSERT_EQ(scene.loadFile((bundledShow() + "/data/" + name + ".scn").c_str()), 0);
        GltfExportOptions options;
        options.demoFolder = bundledShow();
        options.sceneFile = bundledShow() + "/data/" + name + ".scn";
        GltfExportSummary summary;
        std::string error;
        const std::string out = (dir / (std::string(name) + (name[0] == 'm' ? ".gltf" : ".glb"))).string();
        ASSERT_TRUE(ExportGltf(scene, out, options, summary, error)) << error;
        EXPECT_GT(summary.meshes, 0) << name;
        args.push_back(out);
    }
    ChildProcess validator;
    ASSERT_TRUE(validator.start(std::string(TALDREX_SOURCE_DIR) + "/scripts/validate-gltf", args, {}));
    const int status = validator.finish();
    if (status == 77)
        SKIP_FOR_MISSING("the glTF validator cannot be installed here");
    EXPECT_EQ(status, 0) << "the validator found errors (its report is above)";
    fs::remove_all(dir);
}

namespace {

// A scene of the cases the bundled show does not hold: a mesh hidden from frame 0 with a
// child that still draws, a camera with a child under a moving transform, nine lights, a
// material drawn as lines, and pictures of both kinds.
SceneSpec edgeScene()
{
    SceneSpec spec;
    NodeSpec hidden = makeNode(NodeType::Mesh, "Hidden", {1, 2, 3});
    hidden.position.keys.push_back({20, {4, 5, 6}});
    hidden.visibility = {0, 10};
    hidden.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    hidden.faces = {{{{0, 0, 0.25f}, {1, 1, 0.25f}, {2, 0, 1}}}};
    hidden.groups = {{0, {0}}};
    NodeSpec child = hidden;
    child.name = "Child";
    child.visibility.clear();
    child.children.clear();
    hidden.add(child);
    spec.nodes.push_back(hidden);

    NodeSpec wood = makeNode(NodeType::Mesh, "Wood");
    wood.vertices = hidden.vertices;
    wood.faces = hidden.faces;
    wood.groups = {{1, {0}}, {2, {0}}};
    spec.nodes.push_back(wood);

    NodeSpec rig = makeNode(NodeType::Transform, "Rig", {0, 0, 5});
    rig.position.keys.push_back({30, {10, 0, 5}});
    NodeSpec camera = makeNode(NodeType::Camera, "Cam", {0, -10, 2});
    camera.position.keys.push_back({30, {5, -10, 8}});
    camera.roll.keys.push_back({30, 0.7f});
    camera.add(makeNode(NodeType::Transform, "Carried", {0, 0, 1}));
    rig.add(camera);
    rig.add(makeNode(NodeType::Target, "Cam", {0, 0, 0}));
    spec.nodes.push_back(rig);

    for (int i = 0; i < 9; ++i)
        spec.nodes.push_back(makeNode(NodeType::Light, "Lamp " + std::to_string(i), {float(i), 0, 3}));

    MaterialSpec lines;
    lines.name = "Lines";
    MaterialSpec jpeg;
    jpeg.name = "Jpeg";
    jpeg.maps[1] = {1.0f, "Maps\\WOOD.BMP"};
    MaterialSpec png;
    png.name = "Png";
    png.maps[1] = {0.5f, "glass.jpg"};
    spec.materials = {lines, jpeg, png};
    return spec;
}

} // namespace

TEST(SceneExport, HiddenMeshesCamerasInTreesLightsLinesAndPicturesOfBothKinds)
{
    const fs::path dir = tempFolder("edges");
    fs::create_directories(dir / "data");
    fs::copy_file(fs::path(TALDREX_SHARED_TESTDATA) / "jpeg/testorig.jpg", dir / "data" / "Wood.JPG");
    fs::copy_file(fs::path(TALDREX_SHARED_TESTDATA) / "png/basn6a08.png", dir / "data" / "glass.png");
    std::ofstream(dir / "script.txt") << "[textures]\nwood.jpg\nglass.png\n\n[scenes]\nedge.scn\n\n";
    const std::string scenePath = (dir / "data" / "edge.scn").string();
    ASSERT_TRUE(saveScene(edgeScene(), scenePath));

    // Every sample, at 30, 60 and 24 a second (the last two between the player's frames).
    expectSamplesMatchThePlayer(scenePath, (dir / "edge30.glb").string());
    expectSamplesMatchThePlayer(scenePath, (dir / "edge60.gltf").string(), 60);
    expectSamplesMatchThePlayer(scenePath, (dir / "edge24.glb").string(), 24);

    Scene scene;
    ASSERT_EQ(scene.loadFile(scenePath.c_str()), 0);
    GltfExportOptions options;
    options.demoFolder = dir.string();
    options.sceneFile = scenePath;
    GltfExportSummary summary;
    std::string error;
    const std::string out = (dir / "edge.glb").string();
    ASSERT_TRUE(ExportGltf(scene, out, options, summary, error)) << error;
    tinygltf::Model model;
    ASSERT_TRUE(load(out, model));

    EXPECT_EQ(summary.lights, 8);
    EXPECT_EQ(model.lights.size(), 8u);
    EXPECT_EQ(summary.images, 2);
    auto noted = [&](const std::string& text) {
        for (const std::string& note : summary.notes)
            if (note.find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(noted("light \"lamp 8\" is the ninth"));
    EXPECT_TRUE(noted("1 mesh (\"hidden\") hide by a scale of 0 (STEP)"));
    EXPECT_TRUE(noted("camera \"cam\" is a top-level glTF node"));

    std::map<std::string, int> byName;
    for (size_t i = 0; i < model.nodes.size(); ++i)
        byName.emplace(model.nodes[i].name, static_cast<int>(i));
    // The hidden mesh's geometry is on its :shown child; its own child hangs under it.
    const tinygltf::Node& hidden = model.nodes[byName.at("hidden")];
    EXPECT_EQ(hidden.mesh, -1);
    EXPECT_GE(model.nodes[byName.at("hidden:shown")].mesh, 0);
    EXPECT_NE(std::find(hidden.children.begin(), hidden.children.end(), byName.at("child")), hidden.children.end());
    // The camera is top level; its child stays in the tree under a node of its own.
    const std::vector<int>& roots = model.scenes[0].nodes;
    const int cam = [&] {
        for (int n : roots)
            if (model.nodes[n].camera >= 0)
                return n;
        return -1;
    }();
    ASSERT_GE(cam, 0);
    EXPECT_EQ(model.nodes[cam].name, "cam");
    const tinygltf::Camera& lens = model.cameras[model.nodes[cam].camera];
    EXPECT_NEAR(lens.perspective.aspectRatio, 83.0 / 65.0, 1e-12);
    EXPECT_NEAR(lens.perspective.yfov, 60.0 * M_PI / 180.0, 1e-4);
    const tinygltf::Node& carrier = model.nodes[byName.at(GltfNames::cameraChildren("cam"))];
    ASSERT_EQ(carrier.children.size(), 1u);
    EXPECT_EQ(model.nodes[carrier.children[0]].name, "carried");

    // Lines, the JPEG read upside down (t = 1 - v) and the PNG upright, translucent.
    const tinygltf::Mesh& wood = model.meshes[model.nodes[byName.at("wood")].mesh];
    ASSERT_EQ(wood.primitives.size(), 2u);
    const tinygltf::Mesh& lines = model.meshes[model.nodes[byName.at("hidden:shown")].mesh];
    EXPECT_EQ(lines.primitives[0].mode, TINYGLTF_MODE_LINE);
    const std::vector<float> jpegUv = floats(model, wood.primitives[0].attributes.at("TEXCOORD_0"));
    const std::vector<float> pngUv = floats(model, wood.primitives[1].attributes.at("TEXCOORD_0"));
    EXPECT_EQ(jpegUv, (std::vector<float>{0, 0.75f, 1, 0.75f, 0, 0}));
    EXPECT_EQ(pngUv, (std::vector<float>{0, 0.25f, 1, 0.25f, 0, 1}));
    const tinygltf::Material& jpegMaterial = model.materials[wood.primitives[0].material];
    const tinygltf::Material& pngMaterial = model.materials[wood.primitives[1].material];
    EXPECT_EQ(model.images[model.textures[jpegMaterial.pbrMetallicRoughness.baseColorTexture.index].source].mimeType,
              "image/jpeg");
    EXPECT_EQ(model.images[model.textures[pngMaterial.pbrMetallicRoughness.baseColorTexture.index].source].mimeType,
              "image/png");
    EXPECT_EQ(pngMaterial.alphaMode, "BLEND");
    EXPECT_FLOAT_EQ(pngMaterial.pbrMetallicRoughness.baseColorFactor[3], 0.5f);

    ChildProcess validator;
    ASSERT_TRUE(validator.start(std::string(TALDREX_SOURCE_DIR) + "/scripts/validate-gltf",
                                {"validate-gltf", out, (dir / "edge60.gltf").string()}, {}));
    const int status = validator.finish();
    fs::remove_all(dir);
    if (status == 77)
        SKIP_FOR_MISSING("the glTF validator cannot be installed here");
    EXPECT_EQ(status, 0) << "the validator found errors (its report is above)";
}

TEST(SceneExport, RefusesOtherNamesAndRates)
{
    Scene scene;
    GltfExportSummary summary;
    std::string error;
    GltfExportOptions options;
    EXPECT_FALSE(ExportGltf(scene, "out.obj", options, summary, error));
    EXPECT_NE(error.find("must end in .glb or .gltf"), std::string::npos) << error;
    options.fps = 0;
    EXPECT_FALSE(ExportGltf(scene, "out.glb", options, summary, error));
    EXPECT_NE(error.find("--fps"), std::string::npos) << error;
    EXPECT_FALSE(ExportGltf(scene, "/nonexistent-folder/out.glb", GltfExportOptions(), summary, error));
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
}

TEST(SceneExport, NumbersThatAreNotFiniteAreWrittenAsZeroAndCounted)
{
    SceneSpec spec;
    NodeSpec lost = makeNode(NodeType::Transform, "Lost", {NAN, 1, 2});
    lost.position.keys.push_back({10, {0, 0, 0}});
    spec.nodes.push_back(lost);
    NodeSpec lamp = makeNode(NodeType::Light, "Lamp");
    lamp.colour = {2.0f, 1.0f, 0.5f};
    spec.nodes.push_back(lamp);
    const fs::path dir = tempFolder("nan");
    const std::string scenePath = (dir / "nan.scn").string();
    ASSERT_TRUE(saveScene(spec, scenePath));
    Scene scene;
    ASSERT_EQ(scene.loadFile(scenePath.c_str()), 0);
    GltfExportSummary summary;
    std::string error;
    const std::string out = (dir / "nan.glb").string();
    ASSERT_TRUE(ExportGltf(scene, out, GltfExportOptions(), summary, error)) << error;
    bool noted = false;
    for (const std::string& note : summary.notes)
        noted = noted || note.find("not finite numbers") != std::string::npos;
    EXPECT_TRUE(noted);
    tinygltf::Model model;
    ASSERT_TRUE(load(out, model));
    for (const tinygltf::Accessor& accessor : model.accessors)
        for (float value : floats(model, static_cast<int>(&accessor - model.accessors.data())))
            EXPECT_TRUE(std::isfinite(value));
    // A colour brighter than white is its shade at a higher intensity.
    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_EQ(model.lights[0].color, (std::vector<double>{1.0, 0.5, 0.25}));
    EXPECT_EQ(model.lights[0].intensity, 2.0);
    fs::remove_all(dir);
}

// Pictures of imported models: the player, capturing off-screen at 320 x 180, draws chosen
// vertices where the glTF file puts them (computed here with our own glTF maths and the
// player's fixed projection), within 2 pixels, at three times of each animation.
#include "gltf_files.h"
#include "gltf_import.h"
#include "image_files.h"
#include "player_capture.h"
#include "png_bytes.h"
#include "show_files.h"
#include "silhouette_reference.h"

#include "image/png_decoder.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr double pi = 3.14159265358979323846;
using reference::identity;
using reference::M4;
using reference::mul;
using reference::V3;

// A small reader of float and integer accessors, and the LINEAR animation every sample
// model uses.
class Model {
public:
    explicit Model(const std::string& path)
    {
        tinygltf::TinyGLTF loader;
        std::string err, warn;
        loaded = loader.LoadASCIIFromFile(&m, &err, &warn, path);
        parent.assign(m.nodes.size(), -1);
        for (size_t i = 0; i < m.nodes.size(); ++i)
            for (int c : m.nodes[i].children)
                parent[size_t(c)] = int(i);
    }

    std::vector<double> read(int index) const
    {
        const tinygltf::Accessor& a = m.accessors[size_t(index)];
        const tinygltf::BufferView& v = m.bufferViews[size_t(a.bufferView)];
        int n = tinygltf::GetNumComponentsInType(uint32_t(a.type));
        int size = tinygltf::GetComponentSizeInBytes(uint32_t(a.componentType));
        size_t stride = v.byteStride ? v.byteStride : size_t(n * size);
        const unsigned char* p = m.buffers[size_t(v.buffer)].data.data() + v.byteOffset + a.byteOffset;
        std::vector<double> out;
        for (size_t i = 0; i < a.count; ++i)
            for (int c = 0; c < n; ++c) {
                const unsigned char* q = p + i * stride + size_t(c * size);
                if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
                    float f;
                    std::memcpy(&f, q, 4);
                    out.push_back(f);
                } else if (size == 1) {
                    out.push_back(q[0]);
                } else {
                    uint16_t s;
                    std::memcpy(&s, q, 2);
                    out.push_back(s);
                }
            }
        return out;
    }

    // The value of a node's animated property at time t, or `rest` when it is not animated.
    std::vector<double> property(int node, const std::string& path, double t, std::vector<double> rest) const
    {
        if (m.animations.empty())
            return rest;
        const tinygltf::Animation& anim = m.animations[0];
        for (const auto& ch : anim.channels) {
            if (ch.target_node != node || ch.target_path != path)
                continue;
            const auto& s = anim.samplers[size_t(ch.sampler)];
            std::vector<double> in = read(s.input), out = read(s.output);
            size_t n = out.size() / in.size();
            auto at = [&](size_t k) { return std::vector<double>(out.begin() + long(k * n), out.begin() + long(k * n + n)); };
            if (t <= in.front())
                return at(0);
            if (t >= in.back())
                return at(in.size() - 1);
            size_t k = 0;
            while (in[k + 1] <= t)
                ++k;
            double u = (t - in[k]) / (in[k + 1] - in[k]);
            std::vector<double> a = at(k), b = at(k + 1), r(n);
            if (path == "rotation") {
                double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
                double sign = d < 0 ? -1 : 1;
                double angle = std::acos(std::min(1.0, std::fabs(d)));
                double wa = 1 - u, wb = u;
                if (angle > 1e-6)
                    wa = std::sin((1 - u) * angle) / std::sin(angle), wb = std::sin(u * angle) / std::sin(angle);
                for (size_t i = 0; i < 4; ++i)
                    r[i] = wa * a[i] + sign * wb * b[i];
            } else {
                for (size_t i = 0; i < n; ++i)
                    r[i] = a[i] + (b[i] - a[i]) * u;
            }
            return r;
        }
        return rest;
    }

    M4 local(int index, double t) const
    {
        const tinygltf::Node& node = m.nodes[size_t(index)];
        if (node.matrix.size() == 16) {
            M4 r;
            for (size_t i = 0; i < 16; ++i)
                r[i] = node.matrix[i];
            return r;
        }
        auto tr = property(index, "translation", t, node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation);
        auto q = property(index, "rotation", t, node.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : node.rotation);
        auto s = property(index, "scale", t, node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale);
        double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        double x = q[0] / l, y = q[1] / l, z = q[2] / l, w = q[3] / l;
        M4 r = {(1 - 2 * (y * y + z * z)) * s[0], 2 * (x * y + w * z) * s[0], 2 * (x * z - w * y) * s[0], 0,
                2 * (x * y - w * z) * s[1], (1 - 2 * (x * x + z * z)) * s[1], 2 * (y * z + w * x) * s[1], 0,
                2 * (x * z + w * y) * s[2], 2 * (y * z - w * x) * s[2], (1 - 2 * (x * x + y * y)) * s[2], 0,
                tr[0], tr[1], tr[2], 1};
        return r;
    }

    M4 world(int index, double t) const
    {
        M4 r = identity();
        for (int n = index; n >= 0; n = parent[size_t(n)])
            r = mul(local(n, t), r);
        return r;
    }

    // Vertex v of the first primitive of the node's mesh, in glTF world space at time t.
    V3 vertex(int node, size_t v, double t) const
    {
        const tinygltf::Node& n = m.nodes[size_t(node)];
        const tinygltf::Primitive& prim = m.meshes[size_t(n.mesh)].primitives[0];
        std::vector<double> pos = read(prim.attributes.at("POSITION"));
        V3 p{pos[v * 3], pos[v * 3 + 1], pos[v * 3 + 2]};
        std::vector<double> rest = m.meshes[size_t(n.mesh)].weights;
        rest.resize(prim.targets.size(), 0.0);
        std::vector<double> w = property(node, "weights", t, rest);
        for (size_t k = 0; k < prim.targets.size(); ++k) {
            std::vector<double> d = read(prim.targets[k].at("POSITION"));
            for (size_t c = 0; c < 3; ++c)
                p[c] += w[k] * d[v * 3 + c];
        }
        if (n.skin < 0)
            return reference::apply(world(node, t), p);
        const tinygltf::Skin& skin = m.skins[size_t(n.skin)];
        std::vector<double> joints = read(prim.attributes.at("JOINTS_0")), weights = read(prim.attributes.at("WEIGHTS_0"));
        std::vector<double> ibm = read(skin.inverseBindMatrices);
        V3 out{0, 0, 0};
        for (size_t i = 0; i < 4; ++i) {
            double weight = weights[v * 4 + i];
            if (weight == 0)
                continue;
            size_t j = size_t(joints[v * 4 + i]);
            M4 inverse;
            std::copy(ibm.begin() + long(j * 16), ibm.begin() + long(j * 16 + 16), inverse.begin());
            V3 q = reference::apply(mul(world(skin.joints[j], t), inverse), p);
            for (size_t c = 0; c < 3; ++c)
                out[c] += weight * q[c];
        }
        return out;
    }

    tinygltf::Model m;
    std::vector<int> parent;
    bool loaded = false;
};

// Where the player draws a player-space point at 320 x 180: the look-at from eye to
// centre (no roll), the perspective of the field of view at the fixed 83:65 aspect, the
// whole picture as the viewport. x from the left, y from the top, in pixels.
std::array<double, 2> project(V3 eye, V3 centre, double fovDegrees, V3 point)
{
    V3 f{centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    double lf = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f)
        c /= lf;
    double across = std::sqrt(f[0] * f[0] + f[1] * f[1]);
    V3 s{f[1] / across, -f[0] / across, 0};
    V3 u{s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    V3 d{point[0] - eye[0], point[1] - eye[1], point[2] - eye[2]};
    double x = s[0] * d[0] + s[1] * d[1] + s[2] * d[2];
    double y = u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
    double z = f[0] * d[0] + f[1] * d[1] + f[2] * d[2];
    double focal = 1 / std::tan(fovDegrees * pi / 360);
    double ndcX = focal / (83.0 / 65.0) * x / z, ndcY = focal * y / z;
    return {(ndcX + 1) / 2 * 320, (1 - ndcY) / 2 * 180};
}

const unsigned char colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};

// A small cube of eight corners around p, its twelve faces in the marker's group.
void addCube(NodeSpec& node, Vector3 p, float half, int material)
{
    int first = int(node.vertices.size());
    for (int i = 0; i < 8; ++i)
        node.vertices.push_back(p + Vector3(i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half));
    static const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    GroupSpec group;
    group.material = material;
    for (const auto& q : quads)
        for (int tri = 0; tri < 2; ++tri) {
            FaceSpec face;
            int corners[3] = {q[0], q[tri + 1], q[tri + 2]};
            for (int c = 0; c < 3; ++c)
                face.corners[c] = {first + corners[c], 0.5f, 0.5f};
            group.faces.push_back(int(node.faces.size()));
            node.faces.push_back(face);
        }
    node.groups.push_back(group);
}

struct Marker {
    int node;    // glTF node
    size_t vertex; // in the first primitive
};

void findMeshes(std::vector<NodeSpec>& nodes, std::vector<NodeSpec*>& out)
{
    for (NodeSpec& n : nodes) {
        if (n.type == NodeType::Mesh)
            out.push_back(&n);
        findMeshes(n.children, out);
    }
}

// Marks `count` vertices of each listed node, chosen at least 20 pixels apart at time 0.
void checkModel(const std::string& file, const std::vector<std::pair<int, int>> marked)
{
    SCOPED_TRACE(file);
    const std::string path = TALDREX_SHARED_TESTDATA "/gltf/" + file;
    Model model(path);
    ASSERT_TRUE(model.loaded);
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfFile(path, {}, show, error)) << error;
    const NodeSpec& camera = show.scene.nodes[0];
    const NodeSpec& target = show.scene.nodes[1];
    ASSERT_EQ(camera.type, NodeType::Camera);
    const Vector3 eye = camera.position.keys[0].value, centre = target.position.keys[0].value;
    const double fov = camera.fov.keys[0].value * 360 * 0.31830989161357204;
    auto screenAt = [&](int node, size_t v, double t) {
        V3 g = model.vertex(node, v, t);
        return project({eye.x, eye.y, eye.z}, {centre.x, centre.y, centre.z}, fov, {g[0], -g[2], g[1]});
    };

    std::vector<Marker> markers;
    std::vector<std::array<double, 2>> chosen;
    for (const auto& entry : marked) {
        const tinygltf::Node& node = model.m.nodes[size_t(entry.first)];
        size_t count = model.m.accessors[size_t(model.m.meshes[size_t(node.mesh)].primitives[0].attributes.at("POSITION"))].count;
        int taken = 0;
        for (size_t v = 0; v < count && taken < entry.second; ++v) {
            auto at = screenAt(entry.first, v, 0);
            bool apart = at[0] > 8 && at[0] < 312 && at[1] > 8 && at[1] < 172;
            for (const auto& c : chosen)
                apart = apart && std::hypot(c[0] - at[0], c[1] - at[1]) >= 20;
            if (apart) {
                markers.push_back({entry.first, v});
                chosen.push_back(at);
                ++taken;
            }
        }
        ASSERT_EQ(taken, entry.second) << "not enough vertices apart";
    }

    // The model's faces give way to one small cube per chosen vertex, each in its own
    // colour: a child of the vertex's mesh, moving with its matrix and its morph keys.
    Vector3 gap = centre - eye;
    const float half = 0.006f * std::sqrt(dot(gap, gap));
    std::vector<NodeSpec*> meshes;
    findMeshes(show.scene.nodes, meshes);
    for (NodeSpec* mesh : meshes) {
        mesh->faces.clear();
        mesh->groups.clear();
        mesh->children.reserve(mesh->children.size() + markers.size());
    }
    for (size_t i = 0; i < markers.size(); ++i) {
        const tinygltf::Node& node = model.m.nodes[size_t(markers[i].node)];
        std::string name = node.name.empty() ? "node" + std::to_string(markers[i].node) : node.name;
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        NodeSpec* mesh = nullptr;
        for (NodeSpec* m : meshes)
            if (!mesh && m->name.rfind(name, 0) == 0)
                mesh = m;
        ASSERT_NE(mesh, nullptr) << name;
        const int material = int(show.scene.materials.size());
        MaterialSpec spec;
        spec.name = "marker" + std::to_string(i);
        spec.maps[1] = {1.0f, "marker" + std::to_string(i) + ".png"};
        show.scene.materials.push_back(spec);
        show.textures.push_back({spec.maps[1].file, solidPng(colours[i][0], colours[i][1], colours[i][2])});
        NodeSpec cube = makeNode(NodeType::Mesh, "marker" + std::to_string(i));
        addCube(cube, mesh->vertices[markers[i].vertex], half, material);
        for (const MorphKeySpec& key : mesh->morph.keys) {
            NodeSpec keyCube;
            addCube(keyCube, key.positions[markers[i].vertex], half, material);
            MorphKeySpec cubeKey;
            cubeKey.frame = key.frame;
            cubeKey.positions = keyCube.vertices;
            cube.morph.keys.push_back(cubeKey);
        }
        mesh->children.push_back(std::move(cube));
    }

    const std::string folder = (fs::temp_directory_path() / ("gltf-picture-" + std::to_string(getpid()))).string();
    fs::remove_all(folder);
    fs::create_directories(folder + "/data");
    std::vector<std::string> names;
    for (const OutputFile& t : show.textures) {
        std::ofstream(folder + "/data/" + t.name, std::ios::binary) << t.bytes;
        names.push_back(t.name);
    }
    std::ofstream(folder + "/data/" + show.sceneFile, std::ios::binary) << writeScene(show.scene);
    const long long partMs = show.frames > 1 ? (show.frames - 1) * 1000LL / 30 : 10000;
    std::ofstream(folder + "/script.txt") << updateScript("", names, show.sceneFile, show.cameras, partMs);

    // Three frames a third of the animation apart, on frames whose show time is exact.
    const int last = std::max(9, show.frames - 1);
    std::vector<int> frames{0, last / 3 / 3 * 3, 2 * last / 3 / 3 * 3};
    ASSERT_TRUE(CaptureFrames(folder, folder + "/frames", frames.back() * 1000 / 30));
    for (int frame : frames) {
        char name[64];
        std::snprintf(name, sizeof name, "/frames/frame-%06d.png", frame);
        DecodedImage picture = DecodePng(folder + name);
        ASSERT_EQ(picture.width, 320) << name;
        ASSERT_EQ(picture.height, 180);
        for (size_t i = 0; i < markers.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(frame) + ", marker " + std::to_string(i));
            double sx = 0, sy = 0, n = 0;
            for (int y = 0; y < 180; ++y)
                for (int x = 0; x < 320; ++x) {
                    const uint8_t* p = &picture.pixels[size_t((y * 320 + x) * 4)];
                    bool match = true;
                    for (int c = 0; c < 3; ++c)
                        match = match && std::abs(int(p[c]) - int(colours[i][c])) < 40;
                    if (match)
                        sx += x + 0.5, sy += y + 0.5, n += 1;
                }
            auto want = screenAt(markers[i].node, markers[i].vertex, frame / 30.0);
            ASSERT_GT(n, 0) << "marker not drawn, expected at " << want[0] << ", " << want[1];
            EXPECT_NEAR(sx / n, want[0], 2.0);
            EXPECT_NEAR(sy / n, want[1], 2.0);
        }
    }
    fs::remove_all(folder);
}

TEST(GltfPicture, AnimatedTriangle) { checkModel("AnimatedTriangle.gltf", {{0, 3}}); }
TEST(GltfPicture, BoxAnimated) { checkModel("BoxAnimated.gltf", {{2, 2}, {3, 2}}); }
TEST(GltfPicture, SimpleMorph) { checkModel("SimpleMorph.gltf", {{0, 3}}); }
TEST(GltfPicture, SimpleSkin) { checkModel("SimpleSkin.gltf", {{0, 4}}); }
TEST(GltfPicture, BoxTextured) { checkModel("BoxTextured.gltf", {{2, 4}}); }

// A quad whose picture is red above and blue below, written as JPEG and as PNG: the
// player shows red above blue either way.
TEST(GltfPicture, TexturedQuadIsUprightAsJpegAndAsPng)
{
    const std::string folder = (fs::temp_directory_path() / ("gltf-upright-" + std::to_string(getpid()))).string();
    fs::remove_all(folder);
    fs::create_directories(folder);
    Canvas canvas(64, 64);
    canvas.fill([](float, float y) { return y < 32 ? Colour{1, 0, 0} : Colour{0, 0, 1}; });
    for (bool jpeg : {true, false}) {
        SCOPED_TRACE(jpeg ? "JPEG" : "PNG");
        std::string error;
        const std::string picture = folder + (jpeg ? "/picture.jpg" : "/picture.png");
        ASSERT_TRUE(jpeg ? writeJpeg(picture, canvas, 95, error) : writePng(picture, canvas, false, error)) << error;
        std::ifstream in(picture, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        GltfText g;
        g.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
        g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
        g.indices({0, 1, 2, 0, 2, 3});
        g.extra.push_back("\"images\":[{\"uri\":\"data:image/" + std::string(jpeg ? "jpeg" : "png") + ";base64," +
                          GltfText::base64(bytes) + "\"}]");
        g.extra.push_back("\"textures\":[{\"source\":0}]");
        g.materials.push_back("{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}");
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":1},\"indices\":2,\"material\":0}]}");
        g.nodes.push_back("{\"mesh\":0}");
        const std::string model = folder + "/quad.gltf";
        std::ofstream(model, std::ios::binary) << g.text();
        const std::string show = folder + (jpeg ? "/jpeg" : "/png");
        std::FILE* quiet = std::fopen("/dev/null", "w");
        ASSERT_EQ(runImport(model, show, {}, false, quiet, quiet), 0);
        std::fclose(quiet);
        ASSERT_TRUE(fs::exists(show + (jpeg ? "/data/quad_image0.jpg" : "/data/quad_image0.png")));
        ASSERT_TRUE(CaptureFrames(show, show + "/frames", 0));
        DecodedImage frame = DecodePng(show + "/frames/frame-000000.png");
        ASSERT_EQ(frame.width, 320);
        // Rows of the quad from the top: mostly red in its upper quarter, blue in its lower.
        int top = -1, bottom = -1;
        std::vector<int> red(180), blue(180);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 320; ++x) {
                const uint8_t* p = &frame.pixels[size_t((y * 320 + x) * 4)];
                red[size_t(y)] += p[0] > 150 && p[2] < 100;
                blue[size_t(y)] += p[2] > 150 && p[0] < 100;
                if (p[0] > 150 || p[2] > 150) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            }
        ASSERT_GT(bottom - top, 20);
        const int quarter = (bottom - top) / 4;
        for (int y = top + 2; y < top + quarter; ++y)
            EXPECT_GT(red[size_t(y)], 10 * blue[size_t(y)] + 5) << "row " << y;
        for (int y = bottom - quarter; y < bottom - 2; ++y)
            EXPECT_GT(blue[size_t(y)], 10 * red[size_t(y)] + 5) << "row " << y;
    }
    fs::remove_all(folder);
}

} // namespace

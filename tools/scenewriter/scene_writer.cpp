#include "scene_writer.h"

#include <cstdio>
#include <cstring>

namespace {

// Appends little-endian words and zero-terminated strings to a byte string.
class Sink {
public:
    explicit Sink(std::string& out) : out_(out) {}

    void int32(int32_t v)
    {
        uint32_t u = static_cast<uint32_t>(v);
        char b[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                     static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
        out_.append(b, 4);
    }
    void float32(float f)
    {
        int32_t bits;
        std::memcpy(&bits, &f, 4);
        int32(bits);
    }
    void vector(const Vector3& v)
    {
        float32(v.x);
        float32(v.y);
        float32(v.z);
    }
    void value(float f) { float32(f); }
    void value(const Vector3& v) { vector(v); }
    void value(const Quaternion& q)
    {
        float32(q.w);
        float32(q.x);
        float32(q.y);
        float32(q.z);
    }
    void string(const std::string& s)
    {
        out_.append(s.data(), s.size());
        out_.push_back('\0');
    }
    void count(size_t n) { int32(static_cast<int32_t>(n)); }

private:
    std::string& out_;
};

template <typename K>
void writeKeyParams(Sink& out, const K& key)
{
    out.int32(key.frame);
    out.float32(key.tension);
    out.float32(key.continuity);
    out.float32(key.bias);
    out.float32(key.easeTo);
    out.float32(key.easeFrom);
}

template <typename V>
void writeTrack(Sink& out, const TrackSpec<V>& track)
{
    out.int32(track.headerWord);
    out.count(track.keys.size());
    for (const KeySpec<V>& key : track.keys) {
        writeKeyParams(out, key);
        out.value(key.value);
    }
}

void writeVisibility(Sink& out, const std::vector<int32_t>& frames)
{
    for (int32_t f : frames)
        out.int32(f);
    out.int32(-1);
}

void writeMorph(Sink& out, const MorphTrackSpec& morph)
{
    out.int32(morph.headerWord);
    out.count(morph.keys.size());
    for (const MorphKeySpec& key : morph.keys) {
        writeKeyParams(out, key);
        out.count(key.positions.size());
        for (const Vector3& p : key.positions)
            out.vector(p);
    }
}

void writeMeshBody(Sink& out, const NodeSpec& node)
{
    out.count(node.vertices.size());
    for (const Vector3& v : node.vertices)
        out.vector(v);
    out.count(node.faces.size());
    for (const FaceSpec& face : node.faces)
        for (const CornerSpec& c : face.corners) {
            out.int32(c.vertex);
            out.float32(c.s);
            out.float32(c.t);
        }
    out.count(node.groups.size());
    for (const GroupSpec& group : node.groups) {
        out.int32(group.material);
        out.count(group.faces.size());
        for (int32_t f : group.faces)
            out.int32(f);
    }
    writeTrack(out, node.position);
    writeTrack(out, node.rotation);
    writeTrack(out, node.scale);
    writeVisibility(out, node.visibility);
    writeMorph(out, node.morph);
}

void writeNodeEntry(Sink& out, const NodeSpec& node)
{
    // The scene is the file itself, never a record in it.
    if (node.type == NodeType::Scene)
        return;
    out.int32(NodeTypeId(node.type));
    out.string(node.name);
    switch (node.type) {
    case NodeType::Scene:
        break;
    case NodeType::Mesh:
        writeMeshBody(out, node);
        break;
    case NodeType::Camera:
        writeTrack(out, node.position);
        writeTrack(out, node.roll);
        writeTrack(out, node.fov);
        writeVisibility(out, node.visibility);
        break;
    case NodeType::Target:
        writeTrack(out, node.position);
        break;
    case NodeType::Spot:
        out.vector(node.colour);
        writeTrack(out, node.position);
        writeTrack(out, node.spotFirst);
        writeTrack(out, node.spotSecond);
        writeVisibility(out, node.visibility);
        break;
    case NodeType::Light:
        out.vector(node.colour);
        writeTrack(out, node.position);
        writeTrack(out, node.rotation);
        writeTrack(out, node.scale);
        writeVisibility(out, node.visibility);
        break;
    case NodeType::Transform:
        writeTrack(out, node.position);
        writeTrack(out, node.rotation);
        writeTrack(out, node.scale);
        writeVisibility(out, node.visibility);
        break;
    }
    for (const NodeSpec& child : node.children)
        writeNodeEntry(out, child);
    out.int32(-1);
}

} // namespace

NodeSpec& NodeSpec::add(NodeSpec child)
{
    children.push_back(std::move(child));
    return children.back();
}

NodeSpec makeNode(NodeType type, const std::string& name, Vector3 at)
{
    NodeSpec node;
    node.type = type;
    node.name = name;
    node.position.keys.push_back({0, at});
    node.rotation.keys.push_back({0, Quaternion(1.0f, 0.0f, 0.0f, 0.0f)});
    node.scale.keys.push_back({0, Vector3(1.0f, 1.0f, 1.0f)});
    node.roll.keys.push_back({0, 0.0f});
    // The field-of-view value times 360 / pi is the angle in degrees.
    node.fov.keys.push_back({0, 60.0f * 3.14159265f / 360.0f});
    node.spotFirst.keys.push_back({0, 0.0f});
    node.spotSecond.keys.push_back({0, 0.0f});
    return node;
}

std::string writeScene(const SceneSpec& scene)
{
    std::string bytes;
    Sink out(bytes);
    out.int32(scene.headerA);
    out.int32(scene.headerB);
    for (const NodeSpec& node : scene.nodes)
        writeNodeEntry(out, node);
    out.int32(-1);
    out.int32(scene.spareWord);
    out.count(scene.materials.size());
    for (const MaterialSpec& material : scene.materials) {
        out.string(material.name);
        for (const MaterialMapSpec& map : material.maps) {
            out.float32(map.amount);
            out.string(map.file);
        }
    }
    return bytes;
}

bool saveScene(const SceneSpec& scene, const std::string& path)
{
    std::string bytes = writeScene(scene);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

#include "gltf_import.h"

#include "key_fitting.h"
#include "png_bytes.h"

#include <tiny_gltf.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

constexpr double pi = 3.14159265358979323846;
// The player reads node trees at most this deep.
constexpr int maxDepth = 256;
// The player reads scene files of at most this many bytes.
constexpr uint64_t maxSceneBytes = uint64_t(1) << 30;
// The field-of-view value times 360 times this is the vertical angle in degrees.
constexpr double fovToDegrees = 0.31830989161357204;
// Names the player keeps: at most 127 bytes; material and map names at most 299.
constexpr size_t maxNodeName = 127;
constexpr size_t maxMaterialName = 299;
// Deepest nesting of JSON arrays and objects read (glTF itself needs fewer than ten).
constexpr size_t maxJsonDepth = 1000;
// Largest side of a picture turned into PNG (the player's own limit).
constexpr int maxPictureSide = 16384;
// Longest animation taken, in seconds.
constexpr double maxSeconds = 3600.0;
// The scene material standing for lines primitives (glTF material numbers are from 0, -1
// is none).
constexpr int linesMaterial = -2;
// Largest vertex sets sampled for morphs and skins, in vertices times frames.
constexpr uint64_t maxMorphSamples = uint64_t(1) << 25;

// The importer's own failure, caught where the import starts.
struct ImportFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message)
{
    throw ImportFailure(message);
}

// The "taldrex" object of a glTF object's extras, where taldrex-scene export keeps what
// glTF has no place for; null when there is none.
const tinygltf::Value* taldrexOf(const tinygltf::Value& extras)
{
    if (!extras.IsObject() || !extras.Has("taldrex") || !extras.Get("taldrex").IsObject())
        return nullptr;
    return &extras.Get("taldrex");
}

// A member of an extras object as a whole number; fallback when it is missing or not one.
int extrasInt(const tinygltf::Value& object, const char* name, int fallback)
{
    if (!object.Has(name) || !object.Get(name).IsNumber())
        return fallback;
    const double value = object.Get(name).GetNumberAsDouble();
    return value >= -1e9 && value <= 1e9 && value == std::floor(value) ? int(value) : fallback;
}

struct DVec3 {
    double x = 0, y = 0, z = 0;
};
DVec3 operator+(DVec3 a, DVec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
DVec3 operator-(DVec3 a, DVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
DVec3 operator*(DVec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot3(DVec3 a, DVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
DVec3 cross3(DVec3 a, DVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length3(DVec3 a) { return std::sqrt(dot3(a, a)); }
DVec3 normalised(DVec3 a)
{
    double l = length3(a);
    return l > 0 ? a * (1.0 / l) : a;
}
// glTF is Y-up, the player Z-up: (x, y, z) -> (x, -z, y).
Vector3 toPlayer(DVec3 v) { return Vector3(float(v.x), float(-v.z), float(v.y)); }
DVec3 toPlayerD(DVec3 v) { return {v.x, -v.z, v.y}; }

// Column-major 4x4 matrix.
using Mat4 = std::array<double, 16>;
Mat4 identity4()
{
    Mat4 m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}
Mat4 multiply(const Mat4& a, const Mat4& b)
{
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = s;
        }
    return r;
}
DVec3 transformPoint(const Mat4& m, DVec3 p)
{
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}
DVec3 transformVector(const Mat4& m, DVec3 p)
{
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
            m[2] * p.x + m[6] * p.y + m[10] * p.z};
}

// A local transform in glTF terms; the rotation is x, y, z, w.
struct Trs {
    DVec3 t;
    std::array<double, 4> r{0, 0, 0, 1};
    DVec3 s{1, 1, 1};
};

Mat4 trsMatrix(const Trs& trs)
{
    double x = trs.r[0], y = trs.r[1], z = trs.r[2], w = trs.r[3];
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    if (l > 0) {
        x /= l, y /= l, z /= l, w /= l;
    }
    Mat4 m = identity4();
    m[0] = (1 - 2 * (y * y + z * z)) * trs.s.x;
    m[1] = (2 * (x * y + w * z)) * trs.s.x;
    m[2] = (2 * (x * z - w * y)) * trs.s.x;
    m[4] = (2 * (x * y - w * z)) * trs.s.y;
    m[5] = (1 - 2 * (x * x + z * z)) * trs.s.y;
    m[6] = (2 * (y * z + w * x)) * trs.s.y;
    m[8] = (2 * (x * z + w * y)) * trs.s.z;
    m[9] = (2 * (y * z - w * x)) * trs.s.z;
    m[10] = (1 - 2 * (x * x + y * y)) * trs.s.z;
    m[12] = trs.t.x;
    m[13] = trs.t.y;
    m[14] = trs.t.z;
    return m;
}

// Splits a matrix into translation, rotation and scale; false when it holds a shear.
bool decompose(const Mat4& m, Trs& out)
{
    out.t = {m[12], m[13], m[14]};
    DVec3 c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    double sx = length3(c0), sy = length3(c1), sz = length3(c2);
    if (dot3(cross3(c0, c1), c2) < 0)
        sx = -sx;
    out.s = {sx, sy, sz};
    if (sx == 0 || sy == 0 || sz == 0) {
        out.r = {0, 0, 0, 1};
        return false;
    }
    c0 = c0 * (1 / sx), c1 = c1 * (1 / sy), c2 = c2 * (1 / sz);
    double r00 = c0.x, r10 = c0.y, r20 = c0.z, r01 = c1.x, r11 = c1.y, r21 = c1.z, r02 = c2.x, r12 = c2.y,
           r22 = c2.z;
    double trace = r00 + r11 + r22;
    double x, y, z, w;
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        w = 0.25 * s, x = (r21 - r12) / s, y = (r02 - r20) / s, z = (r10 - r01) / s;
    } else if (r00 > r11 && r00 > r22) {
        double s = std::sqrt(1.0 + r00 - r11 - r22) * 2;
        w = (r21 - r12) / s, x = 0.25 * s, y = (r01 + r10) / s, z = (r02 + r20) / s;
    } else if (r11 > r22) {
        double s = std::sqrt(1.0 + r11 - r00 - r22) * 2;
        w = (r02 - r20) / s, x = (r01 + r10) / s, y = 0.25 * s, z = (r12 + r21) / s;
    } else {
        double s = std::sqrt(1.0 + r22 - r00 - r11) * 2;
        w = (r10 - r01) / s, x = (r02 + r20) / s, y = (r12 + r21) / s, z = 0.25 * s;
    }
    out.r = {x, y, z, w};
    const double shear = std::fabs(dot3(c0, c1)) + std::fabs(dot3(c1, c2)) + std::fabs(dot3(c0, c2));
    return shear < 1e-4;
}

// The rotation as the player stores it: the conjugate of the axis-converted quaternion.
Quaternion toPlayerRotation(const std::array<double, 4>& r)
{
    double x = r[0], y = r[1], z = r[2], w = r[3];
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(l > 0))
        return Quaternion();
    x /= l, y /= l, z /= l, w /= l;
    // Converted vector part (x, -z, y), conjugated.
    return Quaternion(float(w), float(-x), float(z), float(-y));
}

std::string lowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// Cuts text to at most n bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& s, size_t n)
{
    if (s.size() <= n)
        return s;
    size_t end = n;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

// A name as the player keeps it: lower case, no control characters (a name goes on a line
// of the script), at most max bytes, never empty.
std::string playerName(const std::string& name, const std::string& fallback, size_t max)
{
    std::string s;
    for (char c : name)
        s.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '_' : c);
    s = cutUtf8(lowerAscii(s), max);
    if (s.empty())
        s = fallback;
    return s;
}

// A name fit for a file in the data folder: lower-case letters, digits, '_', '-' and '.'.
std::string fileStem(const std::string& name)
{
    std::string s;
    for (char c : lowerAscii(name)) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        s.push_back(keep ? c : '_');
    }
    return s.substr(0, 60);
}

// The stem of an image's texture files: its name (without a picture file's extension, as
// exporters often name images after their files) or its number.
std::string imageStem(const tinygltf::Image& image, int index)
{
    std::string name = image.name;
    for (const char* extension : {".jpg", ".jpeg", ".png", ".webp"}) {
        const size_t length = std::strlen(extension);
        if (name.size() > length && lowerAscii(name.substr(name.size() - length)) == extension)
            name.resize(name.size() - length);
    }
    return fileStem(name.empty() ? "image" + std::to_string(index) : name);
}

std::string quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

std::string formatNumber(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

// Renames siblings whose names clash: the second "a" becomes "a.2", and so on.
void makeNamesUnique(std::vector<NodeSpec>& siblings)
{
    std::set<std::string> used;
    for (NodeSpec& node : siblings) {
        if (node.type == NodeType::Target)
            continue;
        std::string name = node.name;
        for (int n = 2; used.count(name); ++n) {
            std::string suffix = "." + std::to_string(n);
            name = cutUtf8(node.name, maxNodeName - suffix.size()) + suffix;
        }
        used.insert(name);
        node.name = name;
    }
}

// Image loading hook: keeps the encoded bytes of images given by URI, untouched, and leaves
// images in buffer views to be read later with their bounds checked.
struct ImageBytes {
    std::map<int, std::vector<unsigned char>> byIndex;
};

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

bool isJpeg(const std::vector<unsigned char>& b)
{
    return b.size() > 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}
bool isWebp(const std::vector<unsigned char>& b)
{
    return b.size() > 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "WEBP", 4) == 0;
}
bool isPng(const std::vector<unsigned char>& b)
{
    static const unsigned char magic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return b.size() > 8 && std::memcmp(b.data(), magic, 8) == 0;
}

double linearToSrgb(double c)
{
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// What a primitive adds to its mesh.
struct Corner {
    int vertex;
    float s, t;
};

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

void joinVertices(MeshData& mesh);

// Vertex v of a mesh with its morph targets at weights w.
DVec3 morphed(const MeshData& mesh, size_t v, const std::vector<double>& w)
{
    DVec3 p = mesh.base[v];
    for (size_t k = 0; k < mesh.targets.size(); ++k)
        p = p + mesh.targets[k][v] * w[k];
    return p;
}
bool exportedFieldOfView(const tinygltf::Value& keys, ScalarTrackSpec& track);
int shapeNormals(const MeshData& mesh, NodeSpec& spec);

// One selected animation on the frame line.
struct Segment {
    int animation = -1;
    int offset = 0;
    int frames = 1; // frames in the segment (last one included)
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
    void convertMesh(int nodeIndex, NodeSpec& spec);
    void convertSkin(int nodeIndex, const MeshData& mesh, NodeSpec& spec);
    void convertCamera(int nodeIndex);
    void addDefaultCamera();
    void convertLight(int nodeIndex, NodeSpec& parent);
    int materialIndex(int gltfMaterial);
    int textureFile(int textureIndex, bool& jpeg);
    std::string solidTexture(const std::vector<double>& colour, const std::string& stem);
    std::string freeTextureName(const std::string& stem, const char* extension) const;
    void fillMaterials();
    void exportedMaps(const tinygltf::Material& material, const tinygltf::Value& taldrex, MaterialSpec& spec);
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
    std::set<std::string> warned_;
    std::vector<NodeSpec> cameras_;
    std::vector<NodeSpec> skinned_;
    int lightsSeen_ = 0;
    int shapedNormals_ = 0; // faces added to shape normals
    uint64_t decodedValues_ = 0;
    bool colourAttributes_ = false;
};

void Importer::warnOnce(const std::string& key, const std::string& line)
{
    if (warned_.insert(key).second)
        show_.warnings.push_back(line);
}

int componentCount(int type)
{
    switch (type) {
    case TINYGLTF_TYPE_SCALAR:
        return 1;
    case TINYGLTF_TYPE_VEC2:
        return 2;
    case TINYGLTF_TYPE_VEC3:
        return 3;
    case TINYGLTF_TYPE_VEC4:
        return 4;
    case TINYGLTF_TYPE_MAT2:
        return 4;
    case TINYGLTF_TYPE_MAT3:
        return 9;
    case TINYGLTF_TYPE_MAT4:
        return 16;
    }
    return 0;
}

int componentBytes(int type)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
    }
    return 0;
}

double readComponent(const unsigned char* p, int type, bool normalised)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        double v = static_cast<int8_t>(p[0]);
        return normalised ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalised ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return normalised ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return normalised ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_INT: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

// The bytes of count elements in a buffer view from offset on, checked against the view
// and the buffer; null when they do not fit.
const unsigned char* viewBytes(const tinygltf::Model& model, int viewIndex, uint64_t offset, uint64_t count,
                               uint64_t elementBytes, uint64_t& stride, std::string& problem)
{
    if (viewIndex < 0 || size_t(viewIndex) >= model.bufferViews.size()) {
        problem = "names buffer view " + std::to_string(viewIndex) + ", which does not exist";
        return nullptr;
    }
    const tinygltf::BufferView& view = model.bufferViews[size_t(viewIndex)];
    if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size()) {
        problem = "uses buffer " + std::to_string(view.buffer) + ", which does not exist";
        return nullptr;
    }
    const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
    stride = view.byteStride != 0 ? view.byteStride : elementBytes;
    if (stride < elementBytes) {
        problem = "has a byte stride smaller than its elements";
        return nullptr;
    }
    uint64_t viewEnd = uint64_t(view.byteOffset) + uint64_t(view.byteLength);
    if (viewEnd < view.byteOffset || viewEnd > data.size()) {
        problem = "uses buffer view " + std::to_string(viewIndex) + ", which reaches past the end of its buffer";
        return nullptr;
    }
    if (count == 0)
        return data.data();
    if (count > (uint64_t(1) << 32) || offset > view.byteLength ||
        (count - 1) * stride + elementBytes > view.byteLength - offset) {
        problem = "reaches past the end of buffer view " + std::to_string(viewIndex);
        return nullptr;
    }
    return data.data() + view.byteOffset + offset;
}

const std::vector<double>& Importer::accessor(int index, int& components)
{
    auto found = accessors_.find(index);
    if (found != accessors_.end()) {
        components = found->second.second;
        return found->second.first;
    }
    if (index < 0 || size_t(index) >= model_.accessors.size())
        fail("accessor " + std::to_string(index) + " does not exist");
    const tinygltf::Accessor& a = model_.accessors[size_t(index)];
    const std::string name = "accessor " + std::to_string(index);
    int n = componentCount(a.type);
    int bytes = componentBytes(a.componentType);
    if (n == 0 || bytes == 0)
        fail(name + " has an unknown type or component type");
    std::vector<double> values;
    const uint64_t count = a.count;
    if (count > (uint64_t(1) << 28))
        fail(name + " holds more elements than any buffer here");
    // Values are held as doubles, up to eight times the bytes they take in a buffer: a
    // budget in proportion to the buffers keeps crafted accessors from taking all memory.
    uint64_t bufferBytes = 0;
    for (const tinygltf::Buffer& b : model_.buffers)
        bufferBytes += b.data.size();
    decodedValues_ += count * uint64_t(n);
    if (decodedValues_ > (uint64_t(1) << 22) + 8 * bufferBytes)
        fail(name + " and those before it hold more values than the model's buffers could");
    values.assign(count * uint64_t(n), 0.0);
    std::string problem;
    if (a.bufferView >= 0) {
        uint64_t stride = 0;
        const unsigned char* p = viewBytes(model_, a.bufferView, a.byteOffset, count, uint64_t(n) * bytes, stride, problem);
        if (!p)
            fail(name + " " + problem);
        for (uint64_t i = 0; i < count; ++i)
            for (int c = 0; c < n; ++c)
                values[i * n + c] = readComponent(p + i * stride + uint64_t(c) * bytes, a.componentType, a.normalized);
    }
    if (a.sparse.isSparse) {
        const uint64_t k = a.sparse.count > 0 ? uint64_t(a.sparse.count) : 0;
        int indexBytes = componentBytes(a.sparse.indices.componentType);
        if (indexBytes == 0 || a.sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT)
            fail(name + " has sparse indices of an unknown type");
        uint64_t stride = 0;
        const unsigned char* ip = viewBytes(model_, a.sparse.indices.bufferView,
                                            uint64_t(std::max(0, a.sparse.indices.byteOffset)), k, indexBytes, stride, problem);
        if (!ip)
            fail(name + " (sparse indices) " + problem);
        uint64_t valueStride = 0;
        const unsigned char* vp = viewBytes(model_, a.sparse.values.bufferView, uint64_t(std::max(0, a.sparse.values.byteOffset)),
                                            k, uint64_t(n) * bytes, valueStride, problem);
        if (!vp)
            fail(name + " (sparse values) " + problem);
        for (uint64_t i = 0; i < k; ++i) {
            double at = readComponent(ip + i * uint64_t(indexBytes), a.sparse.indices.componentType, false);
            if (!(at >= 0) || at >= double(count))
                fail(name + " has a sparse index past its " + std::to_string(count) + " elements");
            for (int c = 0; c < n; ++c)
                values[uint64_t(at) * n + c] =
                    readComponent(vp + i * uint64_t(n) * bytes + uint64_t(c) * bytes, a.componentType, a.normalized);
        }
    }
    for (double v : values)
        if (!std::isfinite(v))
            fail(name + " holds a value that is not a number or is infinite");
    components = n;
    auto& stored = accessors_[index];
    stored.first = std::move(values);
    stored.second = n;
    return stored.first;
}

void Importer::checkModel()
{
    static const std::set<std::string> understood = {"KHR_texture_transform", "KHR_lights_punctual", "EXT_texture_webp",
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

const SamplerData& Importer::sampler(int animation, int index)
{
    auto key = std::make_pair(animation, index);
    auto found = samplers_.find(key);
    if (found != samplers_.end())
        return found->second;
    const tinygltf::Animation& anim = model_.animations[size_t(animation)];
    const std::string name = "animation " + quoted(anim.name) + " sampler " + std::to_string(index);
    if (index < 0 || size_t(index) >= anim.samplers.size())
        fail(name + " does not exist");
    const tinygltf::AnimationSampler& s = anim.samplers[size_t(index)];
    SamplerData data;
    int n = 0;
    data.input = accessor(s.input, n);
    if (n != 1 || data.input.empty())
        fail(name + " has no key times");
    for (size_t i = 1; i < data.input.size(); ++i)
        if (data.input[i] < data.input[i - 1])
            fail(name + " has key times that go backwards");
    if (data.input[0] < 0)
        fail(name + " has a negative key time");
    if (data.input.back() > maxSeconds)
        fail(name + " lasts more than an hour, longer than the importer takes");
    data.output = accessor(s.output, n);
    data.interpolation = s.interpolation == "STEP" ? 0 : s.interpolation == "CUBICSPLINE" ? 2 : 1;
    const size_t perKey = data.interpolation == 2 ? 3 : 1;
    if (data.output.size() % (data.input.size() * perKey) != 0 || data.output.empty())
        fail(name + " has " + std::to_string(data.output.size()) + " output values for " +
             std::to_string(data.input.size()) + " key times");
    data.components = int(data.output.size() / (data.input.size() * perKey));
    return samplers_[key] = std::move(data);
}

std::vector<double> Importer::sample(const SamplerData& s, double time, bool rotation) const
{
    const int c = s.components;
    const size_t keys = s.input.size();
    const int perKey = s.interpolation == 2 ? 3 : 1;
    const int valueAt = s.interpolation == 2 ? 1 : 0;
    auto value = [&](size_t k, int part) { return &s.output[(k * perKey + part) * c]; };
    std::vector<double> out(static_cast<size_t>(c));
    if (time <= s.input[0] || keys == 1) {
        std::copy(value(0, valueAt), value(0, valueAt) + c, out.begin());
        return out;
    }
    // Key times are floats: a frame's time read as a double may fall a hair before the key
    // it is on, which would hold a step's previous value for a whole frame.
    const double onKey = 1e-6;
    if (time + onKey >= s.input[keys - 1]) {
        std::copy(value(keys - 1, valueAt), value(keys - 1, valueAt) + c, out.begin());
        return out;
    }
    size_t k = size_t(std::upper_bound(s.input.begin(), s.input.end(), time + onKey) - s.input.begin()) - 1;
    double t0 = s.input[k], t1 = s.input[k + 1];
    double dt = t1 - t0;
    double u = dt > 0 ? std::clamp((time - t0) / dt, 0.0, 1.0) : 0.0;
    if (s.interpolation == 0) {
        std::copy(value(k, 0), value(k, 0) + c, out.begin());
        return out;
    }
    if (s.interpolation == 2) {
        double u2 = u * u, u3 = u2 * u;
        double h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
        const double* p0 = value(k, 1);
        const double* m0 = value(k, 2);
        const double* p1 = value(k + 1, 1);
        const double* m1 = value(k + 1, 0);
        for (int i = 0; i < c; ++i)
            out[size_t(i)] = h00 * p0[i] + h10 * dt * m0[i] + h01 * p1[i] + h11 * dt * m1[i];
    } else if (rotation && c == 4) {
        const double* a = value(k, 0);
        const double* b = value(k + 1, 0);
        double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
        double sign = d < 0 ? -1.0 : 1.0;
        d = std::fabs(d);
        double wa = 1 - u, wb = u;
        if (d < 0.9995) {
            double angle = std::acos(std::min(d, 1.0));
            double sn = std::sin(angle);
            wa = std::sin((1 - u) * angle) / sn;
            wb = std::sin(u * angle) / sn;
        }
        for (int i = 0; i < 4; ++i)
            out[size_t(i)] = wa * a[i] + sign * wb * b[i];
    } else {
        const double* a = value(k, 0);
        const double* b = value(k + 1, 0);
        for (int i = 0; i < c; ++i)
            out[size_t(i)] = a[i] + (b[i] - a[i]) * u;
    }
    if (rotation && c == 4) {
        double l = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        if (l > 0)
            for (double& v : out)
                v /= l;
    }
    return out;
}

void Importer::setUpAnimations()
{
    std::vector<int> chosen;
    if (options_.animation == "all") {
        for (size_t i = 0; i < model_.animations.size(); ++i)
            chosen.push_back(int(i));
    } else if (!options_.animation.empty()) {
        for (size_t i = 0; i < model_.animations.size(); ++i)
            if (model_.animations[i].name == options_.animation)
                chosen.push_back(int(i));
        if (chosen.empty())
            fail("has no animation named " + quoted(options_.animation));
        chosen.resize(1);
    } else if (!model_.animations.empty()) {
        chosen.push_back(0);
        if (model_.animations.size() > 1)
            show_.notes.push_back("the model has " + std::to_string(model_.animations.size()) +
                                  " animations; imported the first (--animation NAME or all for others)");
    }
    int offset = 0;
    for (int a : chosen) {
        const tinygltf::Animation& anim = model_.animations[size_t(a)];
        double length = 0;
        for (size_t c = 0; c < anim.channels.size(); ++c) {
            const tinygltf::AnimationChannel& ch = anim.channels[c];
            const SamplerData& s = sampler(a, ch.sampler);
            length = std::max(length, s.input.back());
        }
        Segment seg;
        seg.animation = a;
        seg.offset = offset;
        double frames = std::round(length * options_.fps);
        if (frames > maxSeconds * 30)
            fail("animation " + quoted(anim.name) + " has more frames than an hour at 30 per second");
        seg.frames = int(frames) + 1;
        offset += seg.frames;
        segments_.push_back(seg);
    }
    frames_ = std::max(1, offset);
    for (size_t si = 0; si < segments_.size(); ++si) {
        const tinygltf::Animation& anim = model_.animations[size_t(segments_[si].animation)];
        for (size_t c = 0; c < anim.channels.size(); ++c) {
            const tinygltf::AnimationChannel& ch = anim.channels[c];
            if (ch.target_node < 0 || size_t(ch.target_node) >= model_.nodes.size()) {
                warnOnce("channel-node", "animation " + quoted(anim.name) + ": a channel names no node, ignored");
                continue;
            }
            const std::string& path = ch.target_path;
            if (path != "translation" && path != "rotation" && path != "scale" && path != "weights") {
                warnOnce("path " + path, "animation " + quoted(anim.name) + ": animating " + path + " is not supported, ignored");
                continue;
            }
            const SamplerData& s = sampler(segments_[si].animation, ch.sampler);
            int want = path == "rotation" ? 4 : path == "weights" ? -1 : 3;
            if (want > 0 && s.components != want)
                fail("animation " + quoted(anim.name) + " gives " + path + " with " + std::to_string(s.components) +
                     " components");
            std::vector<int>& list = channels_[{ch.target_node, path}];
            list.resize(segments_.size(), -1);
            list[si] = int(c);
        }
    }
    show_.frames = frames_;
}

int Importer::segmentOf(int frame) const
{
    for (size_t i = 0; i < segments_.size(); ++i)
        if (frame < segments_[i].offset + segments_[i].frames)
            return int(i);
    return segments_.empty() ? -1 : int(segments_.size()) - 1;
}

int Importer::channelFor(int node, const char* path, int segment) const
{
    if (segment < 0)
        return -1;
    auto found = channels_.find({node, path});
    if (found == channels_.end())
        return -1;
    return found->second[size_t(segment)];
}

Trs staticTrs(const tinygltf::Node& node, bool& shear)
{
    Trs trs;
    shear = false;
    if (node.matrix.size() == 16) {
        Mat4 m;
        for (int i = 0; i < 16; ++i)
            m[size_t(i)] = node.matrix[size_t(i)];
        shear = !decompose(m, trs);
        return trs;
    }
    if (node.translation.size() == 3)
        trs.t = {node.translation[0], node.translation[1], node.translation[2]};
    if (node.rotation.size() == 4)
        trs.r = {node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]};
    if (node.scale.size() == 3)
        trs.s = {node.scale[0], node.scale[1], node.scale[2]};
    return trs;
}

Trs Importer::localAt(int node, int frame)
{
    bool shear = false;
    Trs trs = staticTrs(model_.nodes[size_t(node)], shear);
    int seg = segmentOf(frame);
    if (seg < 0)
        return trs;
    const Segment& s = segments_[size_t(seg)];
    double time = double(frame - s.offset) / options_.fps;
    const tinygltf::Animation& anim = model_.animations[size_t(s.animation)];
    int c = channelFor(node, "translation", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, false);
        trs.t = {v[0], v[1], v[2]};
    }
    c = channelFor(node, "rotation", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, true);
        trs.r = {v[0], v[1], v[2], v[3]};
    }
    c = channelFor(node, "scale", seg);
    if (c >= 0) {
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), time, false);
        trs.s = {v[0], v[1], v[2]};
    }
    return trs;
}

Mat4 Importer::worldAt(int node, int frame)
{
    Mat4 m = identity4();
    int steps = 0;
    for (int n = node; n >= 0 && steps <= maxDepth * 4; n = parent_[size_t(n)], ++steps)
        m = multiply(trsMatrix(localAt(n, frame)), m);
    return m;
}

std::vector<double> Importer::weightsAt(int node, int frame, const MeshData& mesh)
{
    std::vector<double> w = mesh.defaultWeights;
    const tinygltf::Node& n = model_.nodes[size_t(node)];
    if (!n.weights.empty())
        w = n.weights;
    w.resize(mesh.targets.size(), 0.0);
    int seg = segmentOf(frame);
    int c = channelFor(node, "weights", seg);
    if (c >= 0) {
        const Segment& s = segments_[size_t(seg)];
        const tinygltf::Animation& anim = model_.animations[size_t(s.animation)];
        auto v = sample(sampler(s.animation, anim.channels[size_t(c)].sampler), double(frame - s.offset) / options_.fps, false);
        for (size_t i = 0; i < w.size() && i < v.size(); ++i)
            w[i] = v[i];
    }
    return w;
}

int Importer::keysIn(int node, const char* path) const
{
    int keys = 0;
    auto found = channels_.find({node, path});
    for (size_t si = 0; found != channels_.end() && si < segments_.size(); ++si) {
        int c = found->second[si];
        if (c < 0)
            continue;
        const tinygltf::Animation& anim = model_.animations[size_t(segments_[si].animation)];
        keys += int(samplers_.at({segments_[si].animation, anim.channels[size_t(c)].sampler}).input.size());
    }
    return keys;
}

std::vector<int> Importer::keyFramesOf(int node, const char* path, bool besides) const
{
    std::vector<int> frames;
    auto found = channels_.find({node, path});
    if (found == channels_.end())
        return frames;
    for (size_t si = 0; si < segments_.size(); ++si) {
        int c = found->second[si];
        if (c < 0)
            continue;
        const Segment& seg = segments_[si];
        const tinygltf::Animation& anim = model_.animations[size_t(seg.animation)];
        const SamplerData& s = samplers_.at({seg.animation, anim.channels[size_t(c)].sampler});
        frames.push_back(seg.offset);
        frames.push_back(seg.offset + seg.frames - 1);
        for (size_t i = 0; i < s.input.size(); ++i) {
            int f = seg.offset + std::min(seg.frames - 1, int(std::lround(s.input[i] * options_.fps)));
            // The curve holds still before its first key and after its last.
            const bool inner = f > seg.offset && f < seg.offset + seg.frames - 1;
            frames.push_back(f);
            // A linear curve turns sharply at its keys, and a step jumps there: keys on the
            // frames beside them (two before a step, which holds its value up to the frame
            // before the key) keep the spline from overshooting on the way.
            const int last = seg.offset + seg.frames - 1;
            const bool step = s.interpolation == 0;
            if ((step || (besides && inner && s.interpolation == 1)) && f > seg.offset)
                frames.push_back(f - 1);
            if (step && f - 1 > seg.offset)
                frames.push_back(f - 2);
            if ((step || (besides && inner && s.interpolation == 1)) && f < last)
                frames.push_back(f + 1);
        }
    }
    return frames;
}

std::vector<int> Importer::allKeyFrames() const
{
    std::vector<int> frames;
    for (const auto& entry : channels_) {
        std::vector<int> more = keyFramesOf(entry.first.first, entry.first.second.c_str(), false);
        frames.insert(frames.end(), more.begin(), more.end());
    }
    return frames;
}

double Importer::vectorTolerance(const std::vector<Vector3>& samples) const
{
    Vector3 lo = samples[0], hi = samples[0];
    for (const Vector3& v : samples) {
        lo = Vector3(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
        hi = Vector3(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    }
    double range = std::max({double(hi.x - lo.x), double(hi.y - lo.y), double(hi.z - lo.z)});
    return std::max(1e-4, options_.tolerance * range);
}

void Importer::convertTransform(int index, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    bool shear = false;
    staticTrs(node, shear);
    if (shear)
        show_.warnings.push_back("node " + quoted(spec.name) + ": its matrix holds a shear, which the player cannot draw; kept its rotation and scale");
    const bool animated = channels_.count({index, "translation"}) || channels_.count({index, "rotation"}) ||
                          channels_.count({index, "scale"});
    const int n = animated ? frames_ : 1;
    std::vector<Vector3> positions(static_cast<size_t>(n)), scales(static_cast<size_t>(n));
    std::vector<Quaternion> rotations(static_cast<size_t>(n));
    for (int f = 0; f < n; ++f) {
        Trs trs = localAt(index, f);
        positions[size_t(f)] = toPlayer(trs.t);
        scales[size_t(f)] = Vector3(float(trs.s.x), float(trs.s.z), float(trs.s.y));
        Quaternion q = toPlayerRotation(trs.r);
        if (f > 0) {
            const Quaternion& p = rotations[size_t(f - 1)];
            if (p.w * q.w + p.x * q.x + p.y * q.y + p.z * q.z < 0)
                q = Quaternion(-q.w, -q.x, -q.y, -q.z);
        }
        rotations[size_t(f)] = q;
    }
    auto report = [&](const char* property, const FitResult& r, double tolerance, const char* unit) {
        const char* path = property[0] == 'p' ? "translation" : property;
        show_.tracks.push_back({spec.name, property, keysIn(index, path), r.keysOut, r.largest, tolerance, unit});
    };
    if (channels_.count({index, "translation"})) {
        double tol = vectorTolerance(positions);
        report("position", fitVectorTrack(positions, keyFramesOf(index, "translation"), tol, spec.position), tol, "units");
    } else {
        spec.position.keys = {{0, positions[0]}};
    }
    if (channels_.count({index, "rotation"})) {
        double tol = rotationTolerance();
        report("rotation", fitRotationTrack(rotations, keyFramesOf(index, "rotation"), tol, spec.rotation), tol, "degrees");
    } else {
        spec.rotation.keys = {{0, rotations[0]}};
    }
    if (channels_.count({index, "scale"}) && hidesByScale(index, scales, spec)) {
        show_.tracks.push_back({spec.name, "visibility", keysIn(index, "scale"), int(spec.visibility.size()), 0.0, 0.0, ""});
    } else if (channels_.count({index, "scale"})) {
        double tol = vectorTolerance(scales);
        report("scale", fitVectorTrack(scales, keyFramesOf(index, "scale"), tol, spec.scale), tol, "units");
    } else {
        spec.scale.keys = {{0, scales[0]}};
    }
}

// The groups of a mesh as the player had them, in order: each with its material, with the
// faces of the primitive it names, or none (a group of no faces still sets its material).
// A primitive no group names keeps its own group at the end; one named twice is taken once.
void Importer::exportedGroups(const tinygltf::Value& groups, const MeshData* mesh, NodeSpec& spec)
{
    std::vector<GroupSpec> rebuilt;
    std::vector<bool> named(mesh ? mesh->groups.size() : 0, false);
    for (size_t i = 0; i < groups.ArrayLen(); ++i) {
        const tinygltf::Value& entry = groups.Get(int(i));
        if (!entry.IsObject())
            continue;
        GroupSpec group;
        const int primitive = extrasInt(entry, "primitive", -1);
        if (primitive >= 0) {
            if (!mesh || size_t(primitive) >= mesh->groupOfPrimitive.size() || mesh->groupOfPrimitive[size_t(primitive)] < 0)
                continue;
            const size_t from = size_t(mesh->groupOfPrimitive[size_t(primitive)]);
            // The exporter names each primitive once; a file naming one again gains nothing
            // by copying its faces again.
            if (named[from])
                continue;
            group.faces = mesh->groups[from].faces;
            named[from] = true;
        }
        group.material = materialIndex(extrasInt(entry, "material", -1));
        rebuilt.push_back(std::move(group));
    }
    for (size_t g = 0; g < named.size(); ++g)
        if (!named[g])
            rebuilt.push_back(mesh->groups[g]);
    spec.groups = std::move(rebuilt);
}

// A mesh without children that a STEP scale shows at one size and hides at zero: the
// player hides it by its visibility track instead (its toggles at the frames where it
// changes, from visible), with the one size as its scale. False for any other scale track.
bool Importer::hidesByScale(int index, const std::vector<Vector3>& scales, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    if (spec.type != NodeType::Mesh || !node.children.empty())
        return false;
    const std::vector<int>& list = channels_.at({index, "scale"});
    for (size_t si = 0; si < segments_.size(); ++si) {
        if (list[si] < 0)
            continue;
        const Segment& seg = segments_[si];
        const tinygltf::Animation& anim = model_.animations[size_t(seg.animation)];
        if (sampler(seg.animation, anim.channels[size_t(list[si])].sampler).interpolation != 0)
            return false;
    }
    const Vector3 zero(0.0f, 0.0f, 0.0f);
    const Vector3* shown = nullptr;
    bool hidden = false;
    for (const Vector3& s : scales) {
        if (s == zero)
            hidden = true;
        else if (!shown)
            shown = &s;
        else if (!(s == *shown))
            return false;
    }
    if (!hidden || !shown)
        return false;
    std::vector<int32_t> toggles;
    bool visible = true;
    for (size_t f = 0; f < scales.size(); ++f)
        if ((scales[f] == zero) == visible) {
            toggles.push_back(int32_t(f));
            visible = !visible;
        }
    // The player never toggles on a track of one key: hidden for good means hidden until
    // a frame no show reaches.
    if (toggles.size() == 1)
        toggles.push_back(std::numeric_limits<int32_t>::max());
    spec.visibility = toggles;
    spec.scale.keys = {{0, *shown}};
    return true;
}

void Importer::readPrimitive(const tinygltf::Primitive& primitive, MeshData& data, int meshIndex)
{
    const std::string& meshName = model_.meshes[size_t(meshIndex)].name;
    const std::string where = "mesh " + (meshName.empty() ? std::to_string(meshIndex) : quoted(meshName));
    data.groupOfPrimitive.push_back(-1);
    const int mode = primitive.mode == -1 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
    const bool lines = mode == TINYGLTF_MODE_LINE || mode == TINYGLTF_MODE_LINE_LOOP || mode == TINYGLTF_MODE_LINE_STRIP;
    if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN &&
        !lines) {
        warnOnce("points " + std::to_string(meshIndex), where + ": points are not supported, skipped");
        return;
    }
    auto pos = primitive.attributes.find("POSITION");
    if (pos == primitive.attributes.end()) {
        warnOnce("noposition " + std::to_string(meshIndex), where + ": a primitive without positions, skipped");
        return;
    }
    int n = 0;
    const std::vector<double>& positions = accessor(pos->second, n);
    if (n != 3)
        fail(where + ": positions are not three-component vectors");
    const size_t vertexCount = positions.size() / 3;
    const size_t first = data.base.size();
    if (first + vertexCount > (size_t(1) << 26))
        fail(where + " holds more vertices than the player reads");
    for (size_t i = 0; i < vertexCount; ++i)
        data.base.push_back({positions[i * 3], positions[i * 3 + 1], positions[i * 3 + 2]});
    auto normal = primitive.attributes.find("NORMAL");
    const std::vector<double>* normals = nullptr;
    if (normal != primitive.attributes.end()) {
        normals = &accessor(normal->second, n);
        if (n != 3 || normals->size() != positions.size())
            fail(where + ": normals do not match the primitive's vertices");
    }
    const double none = std::nan("");
    for (size_t i = 0; i < vertexCount; ++i)
        data.normals.push_back(normals ? DVec3{(*normals)[i * 3], (*normals)[i * 3 + 1], (*normals)[i * 3 + 2]}
                                       : DVec3{none, none, none});
    if (primitive.attributes.count("COLOR_0"))
        colourAttributes_ = true;

    // Morph targets: every target of every primitive, vertices without one move nowhere.
    if (primitive.targets.size() > data.targets.size())
        data.targets.resize(primitive.targets.size());
    for (std::vector<DVec3>& t : data.targets)
        t.resize(first, DVec3{});
    for (size_t k = 0; k < primitive.targets.size(); ++k) {
        std::vector<DVec3>& target = data.targets[k];
        auto tp = primitive.targets[k].find("POSITION");
        if (tp == primitive.targets[k].end()) {
            target.resize(first + vertexCount, DVec3{});
            continue;
        }
        const std::vector<double>& offsets = accessor(tp->second, n);
        if (n != 3 || offsets.size() != positions.size())
            fail(where + ": a morph target's positions do not match the primitive's vertices");
        for (size_t i = 0; i < vertexCount; ++i)
            target.push_back({offsets[i * 3], offsets[i * 3 + 1], offsets[i * 3 + 2]});
    }
    for (std::vector<DVec3>& t : data.targets)
        t.resize(first + vertexCount, DVec3{});

    // Skin influences.
    data.joints.resize(first + vertexCount, {0, 0, 0, 0, 0, 0, 0, 0});
    data.weights.resize(first + vertexCount, {0, 0, 0, 0, 0, 0, 0, 0});
    for (int set = 0; set < 2; ++set) {
        auto j = primitive.attributes.find("JOINTS_" + std::to_string(set));
        auto w = primitive.attributes.find("WEIGHTS_" + std::to_string(set));
        if (j == primitive.attributes.end() || w == primitive.attributes.end())
            continue;
        int jn = 0, wn = 0;
        const std::vector<double>& joints = accessor(j->second, jn);
        const std::vector<double>& weights = accessor(w->second, wn);
        if (jn != 4 || wn != 4 || joints.size() != vertexCount * 4 || weights.size() != vertexCount * 4)
            fail(where + ": joints or weights do not match the primitive's vertices");
        data.hasSkinData = true;
        for (size_t i = 0; i < vertexCount; ++i)
            for (int c = 0; c < 4; ++c) {
                data.joints[first + i][size_t(set * 4 + c)] = int(joints[i * 4 + size_t(c)]);
                data.weights[first + i][size_t(set * 4 + c)] = weights[i * 4 + size_t(c)];
            }
    }

    // Material and texture coordinates. Lines are drawn by the player's plain material,
    // in the colour of the texture bound last.
    if (lines)
        warnOnce("lines", where + ": lines are drawn in the colour of the texture the player bound last, "
                                  "not in their material's colour");
    int material = materialIndex(lines ? linesMaterial : primitive.material);
    int texCoord = 0;
    bool jpeg = false;
    std::array<double, 6> transform{1, 0, 0, 0, 1, 0}; // u' = a u + b v + c, v' = d u + e v + f
    if (!lines && primitive.material >= 0 && size_t(primitive.material) < model_.materials.size()) {
        const tinygltf::TextureInfo& info = model_.materials[size_t(primitive.material)].pbrMetallicRoughness.baseColorTexture;
        texCoord = info.texCoord;
        if (info.index >= 0)
            textureFile(info.index, jpeg);
        auto ext = info.extensions.find("KHR_texture_transform");
        if (ext != info.extensions.end() && ext->second.IsObject()) {
            const tinygltf::Value& v = ext->second;
            double ox = 0, oy = 0, rot = 0, sx = 1, sy = 1;
            if (v.Has("offset") && v.Get("offset").ArrayLen() == 2) {
                ox = v.Get("offset").Get(0).GetNumberAsDouble();
                oy = v.Get("offset").Get(1).GetNumberAsDouble();
            }
            if (v.Has("rotation"))
                rot = v.Get("rotation").GetNumberAsDouble();
            if (v.Has("scale") && v.Get("scale").ArrayLen() == 2) {
                sx = v.Get("scale").Get(0).GetNumberAsDouble();
                sy = v.Get("scale").Get(1).GetNumberAsDouble();
            }
            if (v.Has("texCoord"))
                texCoord = v.Get("texCoord").GetNumberAsInt();
            double c = std::cos(rot), s = std::sin(rot);
            transform = {c * sx, -s * sy, ox, s * sx, c * sy, oy};
        }
    }
    std::vector<double> uv;
    auto tc = primitive.attributes.find("TEXCOORD_" + std::to_string(texCoord));
    if (tc != primitive.attributes.end()) {
        const std::vector<double>& values = accessor(tc->second, n);
        if (n != 2 || values.size() != vertexCount * 2)
            fail(where + ": texture coordinates do not match the primitive's vertices");
        uv = values;
    }
    auto cornerUv = [&](size_t v, float& s, float& t) {
        if (uv.empty()) {
            s = t = 0.5f;
            return;
        }
        double u0 = uv[v * 2], v0 = uv[v * 2 + 1];
        double u1 = transform[0] * u0 + transform[1] * v0 + transform[2];
        double v1 = transform[3] * u0 + transform[4] * v0 + transform[5];
        // JPEG textures are uploaded bottom row first, PNG textures top row first.
        s = float(u1);
        t = float(jpeg ? 1.0 - v1 : v1);
    };

    std::vector<size_t> indices;
    if (primitive.indices >= 0) {
        const std::vector<double>& values = accessor(primitive.indices, n);
        const tinygltf::Accessor& a = model_.accessors[size_t(primitive.indices)];
        if (n != 1 || (a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                       a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                       a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
            fail(where + ": indices are not unsigned integers");
        for (double v : values) {
            if (v >= double(vertexCount))
                fail(where + ": an index (" + formatNumber(v) + ") is past the primitive's " +
                     std::to_string(vertexCount) + " vertices");
            indices.push_back(size_t(v));
        }
    } else {
        for (size_t i = 0; i < vertexCount; ++i)
            indices.push_back(i);
    }
    std::vector<std::array<size_t, 3>> triangles;
    if (lines) {
        // The player draws a plain group's corners two by two, across its faces: the
        // segments' ends, three to a face. The last face is filled out with a segment
        // that starts and ends at one point, which draws nothing.
        std::vector<size_t> ends;
        const size_t count = indices.size();
        if (mode == TINYGLTF_MODE_LINE) {
            ends.assign(indices.begin(), indices.begin() + long(count / 2 * 2));
        } else {
            for (size_t i = 0; i + 1 < count; ++i)
                ends.insert(ends.end(), {indices[i], indices[i + 1]});
            if (mode == TINYGLTF_MODE_LINE_LOOP && count > 2)
                ends.insert(ends.end(), {indices[count - 1], indices[0]});
        }
        while (!ends.empty() && ends.size() % 3 != 0)
            ends.push_back(ends.back());
        for (size_t i = 0; i + 2 < ends.size(); i += 3)
            triangles.push_back({ends[i], ends[i + 1], ends[i + 2]});
    } else if (mode == TINYGLTF_MODE_TRIANGLES) {
        for (size_t i = 0; i + 2 < indices.size(); i += 3)
            triangles.push_back({indices[i], indices[i + 1], indices[i + 2]});
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        for (size_t i = 0; i + 2 < indices.size(); ++i) {
            if (i % 2 == 0)
                triangles.push_back({indices[i], indices[i + 1], indices[i + 2]});
            else
                triangles.push_back({indices[i + 1], indices[i], indices[i + 2]});
        }
    } else {
        for (size_t i = 1; i + 1 < indices.size(); ++i)
            triangles.push_back({indices[0], indices[i], indices[i + 1]});
    }
    // The exporter turns round the triangles of a sphere-mapped surface (the player culls
    // their front faces); they are turned back so the player draws the same side.
    const tinygltf::Value* extras = taldrexOf(primitive.extras);
    if (extras && extras->Has("turned") && extras->Get("turned").IsBool() && extras->Get("turned").Get<bool>())
        for (auto& tri : triangles)
            std::swap(tri[1], tri[2]);
    GroupSpec group;
    group.material = material;
    for (const auto& tri : triangles) {
        std::array<int, 3> face;
        std::array<float, 6> st;
        for (int c = 0; c < 3; ++c) {
            face[size_t(c)] = int(first + tri[size_t(c)]);
            cornerUv(tri[size_t(c)], st[size_t(c * 2)], st[size_t(c * 2 + 1)]);
        }
        group.faces.push_back(int(data.faces.size()));
        data.faces.push_back(face);
        data.uvs.push_back(st);
    }
    if (!group.faces.empty()) {
        data.groupOfPrimitive.back() = int(data.groups.size());
        data.groups.push_back(std::move(group));
    }
}

const MeshData& Importer::meshData(int index)
{
    auto found = meshes_.find(index);
    if (found != meshes_.end())
        return *found->second;
    if (index < 0 || size_t(index) >= model_.meshes.size())
        fail("mesh " + std::to_string(index) + " does not exist");
    auto data = std::make_unique<MeshData>();
    const tinygltf::Mesh& mesh = model_.meshes[size_t(index)];
    data->defaultWeights = mesh.weights;
    for (const tinygltf::Primitive& primitive : mesh.primitives)
        readPrimitive(primitive, *data, index);
    for (std::vector<DVec3>& t : data->targets)
        t.resize(data->base.size(), DVec3{});
    joinVertices(*data);
    return *(meshes_[index] = std::move(data));
}

// Joins vertices that glTF keeps apart only because they belong to different primitives
// or carry different texture coordinates: same position, normal, morph offsets and skin.
// The player's texture coordinates belong to corners, and its normals are averaged over
// the faces around a vertex, so a smooth surface stays smooth across its seams. Vertices
// without a normal stay apart (glTF draws those faces flat).
void joinVertices(MeshData& mesh)
{
    const size_t n = mesh.base.size();
    std::map<std::vector<double>, int> first;
    std::vector<int> joined(n);
    std::vector<size_t> kept;
    for (size_t v = 0; v < n; ++v) {
        const DVec3& normal = mesh.normals[v];
        if (std::isnan(normal.x) || std::isnan(normal.y) || std::isnan(normal.z)) {
            joined[v] = int(kept.size());
            kept.push_back(v);
            continue;
        }
        std::vector<double> key = {mesh.base[v].x, mesh.base[v].y, mesh.base[v].z, normal.x, normal.y, normal.z};
        for (const std::vector<DVec3>& target : mesh.targets)
            key.insert(key.end(), {target[v].x, target[v].y, target[v].z});
        for (size_t i = 0; i < 8; ++i)
            key.insert(key.end(), {double(mesh.joints[v][i]), mesh.weights[v][i]});
        auto found = first.emplace(std::move(key), int(kept.size()));
        joined[v] = found.first->second;
        if (found.second)
            kept.push_back(v);
    }
    if (kept.size() == n)
        return;
    auto keep = [&](auto& values) {
        for (size_t i = 0; i < kept.size(); ++i)
            values[i] = values[kept[i]];
        values.resize(kept.size());
    };
    keep(mesh.base);
    keep(mesh.normals);
    for (std::vector<DVec3>& target : mesh.targets)
        keep(target);
    keep(mesh.joints);
    keep(mesh.weights);
    for (std::array<int, 3>& face : mesh.faces)
        for (int& v : face)
            v = joined[size_t(v)];
}

void fillGeometry(const MeshData& mesh, NodeSpec& spec)
{
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        FaceSpec face;
        for (int c = 0; c < 3; ++c)
            face.corners[c] = {mesh.faces[f][size_t(c)], mesh.uvs[f][size_t(c * 2)], mesh.uvs[f][size_t(c * 2 + 1)]};
        spec.faces.push_back(face);
    }
    spec.groups = mesh.groups;
}

double extentOf(const std::vector<Vector3>& vertices)
{
    if (vertices.empty())
        return 0.0;
    Vector3 lo = vertices[0], hi = vertices[0];
    for (const Vector3& v : vertices) {
        lo = Vector3(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
        hi = Vector3(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    }
    Vector3 d = hi - lo;
    return std::sqrt(double(dot(d, d)));
}

void Importer::convertMesh(int nodeIndex, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    const MeshData& mesh = meshData(node.mesh);
    fillGeometry(mesh, spec);
    const bool morphing = !mesh.targets.empty() && channels_.count({nodeIndex, "weights"});
    const int n = morphing ? frames_ : 1;
    if (uint64_t(n) * mesh.base.size() > maxMorphSamples)
        fail("mesh " + quoted(spec.name) + " morphs more vertices over more frames than the importer holds");
    std::vector<std::vector<Vector3>> samples(static_cast<size_t>(n));
    for (int f = 0; f < n; ++f) {
        std::vector<double> w = weightsAt(nodeIndex, f, mesh);
        std::vector<Vector3>& out = samples[size_t(f)];
        out.reserve(mesh.base.size());
        for (size_t v = 0; v < mesh.base.size(); ++v) {
            out.push_back(toPlayer(morphed(mesh, v, w)));
        }
    }
    spec.vertices = samples[0];
    if (morphing) {
        double tol = std::max(1e-4, options_.tolerance * extentOf(samples[0]));
        FitResult r = fitMorphTrack(samples, keyFramesOf(nodeIndex, "weights", false), tol, spec.morph);
        r.keysIn = keysIn(nodeIndex, "weights");
        show_.tracks.push_back({spec.name, "morph", r.keysIn, r.keysOut, r.largest, tol, "units"});
        if (spec.morph.keys.size() == 1)
            spec.morph.keys.clear();
    }
    // A morphing mesh's own vertices only shape its normals: those of its rest shape,
    // which the model's normals belong to.
    if (!spec.morph.keys.empty())
        for (size_t v = 0; v < mesh.base.size(); ++v)
            spec.vertices[v] = toPlayer(mesh.base[v]);
    shapedNormals_ += shapeNormals(mesh, spec);
}

// The player makes a vertex's normal from the faces around it, each weighing by its area.
// Where that normal would differ from the model's by more than a tenth of a degree, a face
// outside every group (shaping normals, never drawn) is added at the vertex, with two
// vertices of its own, turned and sized so that the sum comes out along the model's normal.
// Returns the number of faces added.
int shapeNormals(const MeshData& mesh, NodeSpec& spec)
{
    const size_t count = spec.vertices.size();
    std::vector<DVec3> sums(count);
    auto at = [&](int v) { return DVec3{spec.vertices[size_t(v)].x, spec.vertices[size_t(v)].y, spec.vertices[size_t(v)].z}; };
    for (const FaceSpec& face : spec.faces) {
        const DVec3 v0 = at(face.corners[0].vertex), v1 = at(face.corners[1].vertex), v2 = at(face.corners[2].vertex);
        const DVec3 n = cross3(v0 - v1, v1 - v2);
        for (const CornerSpec& corner : face.corners)
            sums[size_t(corner.vertex)] = sums[size_t(corner.vertex)] + n;
    }
    const double closeEnough = std::cos(0.1 * pi / 180);
    int added = 0;
    for (size_t v = 0; v < count && v < mesh.normals.size(); ++v) {
        const DVec3 wanted = normalised(toPlayerD(mesh.normals[v]));
        const double size = length3(sums[v]);
        if (!(length3(wanted) > 0.5) || !(size > 0) || dot3(sums[v], wanted) >= closeEnough * size)
            continue;
        // The face's normal (v0 - v1) x (v1 - v2) with v1 = v0 + e1, v2 = v0 + e2 is e1 x e2.
        const DVec3 w = wanted * size - sums[v];
        const DVec3 dir = normalised(w);
        const DVec3 helper = std::fabs(dir.x) < 0.6 ? DVec3{1, 0, 0} : DVec3{0, 1, 0};
        const double reach = std::sqrt(length3(w));
        const DVec3 e1 = normalised(cross3(dir, helper)) * reach;
        const DVec3 e2 = cross3(dir, normalised(e1)) * reach;
        const int first = int(spec.vertices.size());
        const DVec3 p = at(int(v));
        for (const DVec3& q : {p + e1, p + e2}) {
            spec.vertices.push_back(Vector3(float(q.x), float(q.y), float(q.z)));
            for (MorphKeySpec& key : spec.morph.keys)
                key.positions.push_back(spec.vertices.back());
        }
        FaceSpec face;
        face.corners[0] = {int32_t(v), 0.0f, 0.0f};
        face.corners[1] = {first, 0.0f, 0.0f};
        face.corners[2] = {first + 1, 0.0f, 0.0f};
        spec.faces.push_back(face);
        ++added;
    }
    return added;
}

void Importer::convertSkin(int nodeIndex, const MeshData& mesh, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    const tinygltf::Skin& skin = model_.skins[size_t(node.skin)];
    fillGeometry(mesh, spec);
    std::vector<Mat4> inverseBind(skin.joints.size(), identity4());
    if (skin.inverseBindMatrices >= 0) {
        int n = 0;
        const std::vector<double>& m = accessor(skin.inverseBindMatrices, n);
        if (n != 16 || m.size() < skin.joints.size() * 16)
            fail("skin " + quoted(skin.name) + ": fewer inverse bind matrices than joints");
        for (size_t j = 0; j < skin.joints.size(); ++j)
            std::copy(m.begin() + long(j * 16), m.begin() + long(j * 16 + 16), inverseBind[j].begin());
    }
    for (int joint : skin.joints)
        if (joint < 0 || size_t(joint) >= model_.nodes.size())
            fail("skin " + quoted(skin.name) + " names node " + std::to_string(joint) + ", which does not exist");
    for (const auto& influences : mesh.joints)
        for (int j : influences)
            if (j < 0 || size_t(j) >= skin.joints.size())
                fail("mesh " + quoted(spec.name) + ": a vertex names joint " + std::to_string(j) + " of a skin with " +
                     std::to_string(skin.joints.size()));
    const bool animated = !segments_.empty();
    const int n = animated ? frames_ : 1;
    if (uint64_t(n) * mesh.base.size() > maxMorphSamples)
        fail("skinned mesh " + quoted(spec.name) + " has more vertices over more frames than the importer holds");
    std::vector<std::vector<Vector3>> samples(static_cast<size_t>(n));
    std::vector<Mat4> jointMatrices(skin.joints.size());
    for (int f = 0; f < n; ++f) {
        for (size_t j = 0; j < skin.joints.size(); ++j)
            jointMatrices[j] = multiply(worldAt(skin.joints[j], f), inverseBind[j]);
        std::vector<double> w = weightsAt(nodeIndex, f, mesh);
        std::vector<Vector3>& out = samples[size_t(f)];
        out.reserve(mesh.base.size());
        for (size_t v = 0; v < mesh.base.size(); ++v) {
            const DVec3 p = morphed(mesh, v, w);
            DVec3 skinned;
            double total = 0;
            for (size_t i = 0; i < 8; ++i) {
                double weight = mesh.weights[v][i];
                if (weight == 0)
                    continue;
                total += weight;
                skinned = skinned + transformPoint(jointMatrices[size_t(mesh.joints[v][i])], p) * weight;
            }
            out.push_back(toPlayer(total > 0 ? skinned * (1.0 / total) : p));
        }
    }
    spec.vertices = samples[0];
    if (animated) {
        double tol = std::max(1e-4, options_.tolerance * extentOf(samples[0]));
        FitResult r = fitMorphTrack(samples, allKeyFrames(), tol, spec.morph);
        show_.tracks.push_back({spec.name, "morph", r.keysIn, r.keysOut, r.largest, tol, "units"});
        if (spec.morph.keys.size() == 1)
            spec.morph.keys.clear();
    }
    const double megabytes = double(spec.morph.keys.size()) * double(mesh.base.size()) * 12.0 / (1024.0 * 1024.0);
    show_.warnings.push_back("mesh " + quoted(spec.name) + ": skin baked into " + std::to_string(spec.morph.keys.size()) +
                             " morph keys of " + std::to_string(mesh.base.size()) + " vertices (" +
                             formatNumber(std::round(megabytes * 100) / 100) + " MB)");
}

// The roll that turns the player's up vector closest to the wanted up: r, and the angle
// left between them in degrees. The roll turns the up about world Z, so two rolls can show
// the same picture; the one nearer the previous frame's is taken, which keeps the roll
// from jumping between them (the player interpolates it between frames).
std::pair<double, double> solveRoll(DVec3 view, DVec3 wanted, double previous)
{
    DVec3 n = normalised(view);
    DVec3 s{1, 0, 0};
    double across = std::sqrt(n.x * n.x + n.y * n.y);
    if (across > 0)
        s = DVec3{n.y, -n.x, 0} * (1.0 / across);
    DVec3 u = normalised(cross3(s, n));
    DVec3 target = normalised(wanted - n * dot3(wanted, n));
    auto closeness = [&](double r) {
        double c = std::cos(r), sn = std::sin(r);
        DVec3 up{c * u.x - sn * u.y, sn * u.x + c * u.y, u.z};
        DVec3 effective = normalised(up - n * dot3(up, n));
        return dot3(effective, target);
    };
    constexpr int steps = 360;
    std::vector<double> grid(steps);
    for (int i = 0; i < steps; ++i)
        grid[size_t(i)] = closeness(-pi + 2 * pi * i / steps);
    // Every peak of the coarse search, refined.
    std::vector<std::pair<double, double>> peaks; // roll, closeness
    for (int i = 0; i < steps; ++i) {
        const double here = grid[size_t(i)];
        if (here < grid[size_t((i + steps - 1) % steps)] || here < grid[size_t((i + 1) % steps)])
            continue;
        double best = -pi + 2 * pi * i / steps, bestValue = here;
        for (double step = pi / steps; step > 1e-9; step *= 0.5)
            for (double r : {best - step, best + step}) {
                double v = closeness(r);
                if (v > bestValue)
                    bestValue = v, best = r;
            }
        peaks.push_back({best, bestValue});
    }
    double top = -2;
    for (const auto& peak : peaks)
        top = std::max(top, peak.second);
    double best = 0, bestValue = top, nearest = 0;
    bool found = false;
    for (const auto& peak : peaks) {
        if (peak.second < top - 1e-9)
            continue;
        // The same roll as near the previous one as whole turns allow.
        const double r = peak.first + 2 * pi * std::round((previous - peak.first) / (2 * pi));
        if (!found || std::fabs(r - previous) < nearest) {
            best = r;
            bestValue = peak.second;
            nearest = std::fabs(r - previous);
            found = true;
        }
    }
    double left = std::acos(std::clamp(bestValue, -1.0, 1.0)) * 180 / pi;
    return {best, left};
}

void Importer::convertCamera(int nodeIndex)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    if (node.camera < 0 || size_t(node.camera) >= model_.cameras.size())
        fail("node " + std::to_string(nodeIndex) + " names camera " + std::to_string(node.camera) + ", which does not exist");
    const tinygltf::Camera& camera = model_.cameras[size_t(node.camera)];
    std::string name = playerName(node.name.empty() ? camera.name : node.name,
                                  "camera" + std::to_string(cameras_.size() / 2 + 1), maxNodeName);
    if (camera.type != "perspective") {
        show_.warnings.push_back("camera " + quoted(name) + ": orthographic cameras are not supported, skipped");
        return;
    }
    // A part finds its camera as the first node whose name contains the part's text.
    for (bool clash = true; clash;) {
        clash = false;
        for (const NodeSpec& earlier : cameras_)
            if (earlier.name.find(name) != std::string::npos)
                clash = true;
        if (clash)
            name = cutUtf8(name, maxNodeName - 3) + "#" + std::to_string(cameras_.size() / 2 + 1);
    }
    const bool animated = !segments_.empty();
    const int n = animated ? frames_ : 1;
    std::vector<Vector3> eyes(static_cast<size_t>(n)), targets(static_cast<size_t>(n));
    std::vector<float> rolls(static_cast<size_t>(n));
    double previousRoll = 0, rollLeft = 0;
    bool nudged = false;
    for (int f = 0; f < n; ++f) {
        Mat4 world = worldAt(nodeIndex, f);
        DVec3 eye = toPlayerD(transformPoint(world, {0, 0, 0}));
        DVec3 view = normalised(toPlayerD(transformVector(world, {0, 0, -1})));
        DVec3 up = normalised(toPlayerD(transformVector(world, {0, 1, 0})));
        if (length3(view) == 0 || length3(up) == 0) {
            // Scaled to nothing: no direction to look in. Look ahead along the player's Y.
            warnOnce("flat camera " + name, "camera " + quoted(name) + ": scaled to zero, looks along +Y instead");
            view = {0, 1, 0};
            up = {0, 0, 1};
        }
        DVec3 target = eye + view * 100.0;
        if (std::sqrt(view.x * view.x + view.y * view.y) < 1e-4) {
            // Straight up or down leaves the player no side vector: lean towards the up.
            DVec3 lean{up.x, up.y, 0};
            if (length3(lean) == 0)
                lean = {0, 1, 0};
            target = target + normalised(lean) * 0.05;
            nudged = true;
        }
        eyes[size_t(f)] = Vector3(float(eye.x), float(eye.y), float(eye.z));
        targets[size_t(f)] = Vector3(float(target.x), float(target.y), float(target.z));
        DVec3 used = DVec3{targets[size_t(f)].x, targets[size_t(f)].y, targets[size_t(f)].z} -
                     DVec3{eyes[size_t(f)].x, eyes[size_t(f)].y, eyes[size_t(f)].z};
        auto roll = solveRoll(used, up, previousRoll);
        previousRoll = roll.first;
        rollLeft = std::max(rollLeft, roll.second);
        rolls[size_t(f)] = float(roll.first);
    }
    if (nudged)
        show_.warnings.push_back("camera " + quoted(name) + ": looks straight up or down, target moved 0.05 units sideways");
    if (rollLeft > 0.05)
        show_.warnings.push_back("camera " + quoted(name) + ": its tilt cannot be shown by the player's roll (largest difference left " +
                                 formatNumber(rollLeft) + " degrees)");
    NodeSpec cam = makeNode(NodeType::Camera, name);
    NodeSpec tgt = makeNode(NodeType::Target, name);
    const std::vector<int> frames = allKeyFrames();
    auto report = [&](const std::string& who, const char* property, const FitResult& r, double tolerance, const char* unit) {
        if (animated)
            show_.tracks.push_back({who, property, r.keysIn, r.keysOut, r.largest, tolerance, unit});
    };
    double tol = vectorTolerance(eyes);
    report(name, "position", fitVectorTrack(eyes, frames, tol, cam.position), tol, "units");
    tol = vectorTolerance(targets);
    report(name, "target", fitVectorTrack(targets, frames, tol, tgt.position), tol, "units");
    tol = 0.05 * options_.tolerance / 0.001 * pi / 180;
    FitResult rollFit = fitScalarTrack(rolls, frames, tol, cam.roll);
    rollFit.largest *= 180 / pi;
    report(name, "roll", rollFit, tol * 180 / pi, "degrees");
    const double yfov = camera.perspective.yfov * 180 / pi;
    if (!(yfov > 0) || !(yfov < 180))
        fail("camera " + quoted(name) + " has a field of view of " + formatNumber(yfov) + " degrees");
    cam.fov.keys = {{0, float(yfov / (360 * fovToDegrees))}};
    const tinygltf::Value* taldrex = taldrexOf(node.extras);
    if (taldrex && taldrex->Get("fovKeys").IsArray() && !exportedFieldOfView(taldrex->Get("fovKeys"), cam.fov))
        show_.warnings.push_back("camera " + quoted(name) + ": the field-of-view keys in its extras are not keys; "
                                 "kept the glTF camera's field of view");
    cameras_.push_back(std::move(cam));
    cameras_.push_back(std::move(tgt));
    show_.cameras.push_back(name);
    if (camera.perspective.aspectRatio > 0 && std::fabs(camera.perspective.aspectRatio - 83.0 / 65.0) > 0.01)
        warnOnce("aspect", "camera " + quoted(name) + ": aspect ratio " + formatNumber(camera.perspective.aspectRatio) +
                               " is drawn at the player's fixed 83:65");
}

// The field-of-view keys taldrex-scene export keeps beside a camera (glTF holds one field
// of view): [frame, value, tension, continuity, bias, ease to, ease from] each, in the
// player's units. False, with the track untouched, when they are not all such keys.
bool exportedFieldOfView(const tinygltf::Value& keys, ScalarTrackSpec& track)
{
    std::vector<KeySpec<float>> read;
    for (size_t i = 0; i < keys.ArrayLen(); ++i) {
        const tinygltf::Value& key = keys.Get(int(i));
        if (!key.IsArray() || key.ArrayLen() != 7)
            return false;
        float fields[7];
        for (int f = 0; f < 7; ++f) {
            const tinygltf::Value& field = key.Get(f);
            const double value = field.IsNumber() ? field.GetNumberAsDouble() : std::nan("");
            if (!std::isfinite(value) || std::fabs(value) > 1e9)
                return false;
            fields[f] = float(value);
        }
        if (fields[0] != std::floor(fields[0]))
            return false;
        KeySpec<float> spec;
        spec.frame = int32_t(fields[0]);
        spec.value = fields[1];
        spec.tension = fields[2];
        spec.continuity = fields[3];
        spec.bias = fields[4];
        spec.easeTo = fields[5];
        spec.easeFrom = fields[6];
        read.push_back(spec);
    }
    if (read.empty())
        return false;
    track.keys = std::move(read);
    return true;
}

void Importer::addDefaultCamera()
{
    bool any = false;
    Vector3 lo, hi;
    auto add = [&](const Vector3& v) {
        if (!any) {
            lo = hi = v;
            any = true;
            return;
        }
        lo = Vector3(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
        hi = Vector3(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    };
    // Frame the model over its whole animation: every frame, or 64 of them for large ones.
    uint64_t vertices = 0;
    for (int index : order_)
        if (model_.nodes[size_t(index)].mesh >= 0)
            vertices += meshData(model_.nodes[size_t(index)].mesh).base.size();
    const int step = uint64_t(frames_) * vertices <= 2000000 ? 1 : std::max(1, frames_ / 64);
    for (int index : order_) {
        const tinygltf::Node& node = model_.nodes[size_t(index)];
        if (node.mesh < 0 || node.skin >= 0)
            continue;
        const MeshData& mesh = meshData(node.mesh);
        std::vector<int> sampled;
        for (int f = 0; f < frames_; f += step)
            sampled.push_back(f);
        if (sampled.back() != frames_ - 1)
            sampled.push_back(frames_ - 1);
        for (int f : sampled) {
            Mat4 world = worldAt(index, f);
            std::vector<double> w = weightsAt(index, f, mesh);
            for (size_t v = 0; v < mesh.base.size(); ++v) {
                add(toPlayer(transformPoint(world, morphed(mesh, v, w))));
            }
        }
    }
    // Skinned meshes are written in world space: their vertices and keys are the places.
    for (const NodeSpec& skinned : skinned_) {
        for (const Vector3& v : skinned.vertices)
            add(v);
        for (const MorphKeySpec& key : skinned.morph.keys)
            for (const Vector3& v : key.positions)
                add(v);
    }
    DVec3 centre{0, 0, 0};
    double radius = 1;
    if (any) {
        centre = {0.5 * (lo.x + hi.x), 0.5 * (lo.y + hi.y), 0.5 * (lo.z + hi.z)};
        Vector3 d = hi - lo;
        radius = std::max(1e-3, 0.5 * std::sqrt(double(dot(d, d))));
    }
    const double fov = 45.0;
    const double distance = radius / std::sin(fov * 0.5 * pi / 180) * 1.1;
    const double elevation = 20 * pi / 180;
    DVec3 eye = centre + DVec3{0, -std::cos(elevation), std::sin(elevation)} * distance;
    std::string name = "camera";
    NodeSpec cam = makeNode(NodeType::Camera, name, Vector3(float(eye.x), float(eye.y), float(eye.z)));
    NodeSpec tgt = makeNode(NodeType::Target, name, Vector3(float(centre.x), float(centre.y), float(centre.z)));
    cam.fov.keys = {{0, float(fov / (360 * fovToDegrees))}};
    cameras_.push_back(std::move(cam));
    cameras_.push_back(std::move(tgt));
    show_.cameras.push_back(name);
    show_.notes.push_back("the model has no camera: added camera \"camera\" looking at the whole model, over its whole animation, from the front");
}

void Importer::convertLight(int nodeIndex, NodeSpec& parent)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    auto ext = node.extensions.find("KHR_lights_punctual");
    if (ext == node.extensions.end() || !ext->second.IsObject() || !ext->second.Has("light"))
        return;
    int index = ext->second.Get("light").GetNumberAsInt();
    if (index < 0 || size_t(index) >= model_.lights.size())
        fail("node " + quoted(node.name) + " names light " + std::to_string(index) + ", which does not exist");
    const tinygltf::Light& light = model_.lights[size_t(index)];
    std::string name = playerName(light.name.empty() ? node.name : light.name, "light", maxNodeName);
    NodeSpec spec = makeNode(NodeType::Light, name);
    double rgb[3] = {1, 1, 1};
    for (size_t i = 0; i < 3 && i < light.color.size(); ++i)
        rgb[i] = light.color[i];
    bool clamped = false;
    for (double& c : rgb) {
        c *= light.intensity;
        if (c > 1)
            c = 1, clamped = true;
        if (!(c >= 0))
            c = 0;
    }
    spec.colour = Vector3(float(rgb[0]), float(rgb[1]), float(rgb[2]));
    // taldrex-scene export keeps the player's colour as it was, brighter than white or not.
    const tinygltf::Value* taldrex = taldrexOf(light.extras);
    const tinygltf::Value* colour = taldrex ? &taldrex->Get("colour") : nullptr;
    if (colour && colour->IsArray() && colour->ArrayLen() == 3 && colour->Get(0).IsNumber() &&
        colour->Get(1).IsNumber() && colour->Get(2).IsNumber())
        spec.colour = Vector3(float(colour->Get(0).GetNumberAsDouble()), float(colour->Get(1).GetNumberAsDouble()),
                              float(colour->Get(2).GetNumberAsDouble()));
    else if (clamped)
        show_.warnings.push_back("light " + quoted(name) + ": colour x intensity above 1, clamped");
    // The player places a light at its matrix applied to its position: twice the position.
    if (light.type == "directional") {
        spec.position.keys = {{0, toPlayer({0, 0, 500})}};
        show_.warnings.push_back("light " + quoted(name) + ": directional light drawn as a point light 1000 units away");
    } else if (light.type == "spot") {
        show_.warnings.push_back("light " + quoted(name) + ": spot cone not supported, drawn as a point light");
    }
    if (light.range > 0)
        warnOnce("range", "light " + quoted(name) + ": range is not supported, the light does not fall off");
    if (++lightsSeen_ == 9)
        show_.warnings.push_back("light " + quoted(name) + " and those after it are not used: the player uses eight lights");
    parent.children.insert(parent.children.begin(), std::move(spec));
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

int Importer::textureFile(int textureIndex, bool& jpeg)
{
    jpeg = false;
    if (textureIndex < 0 || size_t(textureIndex) >= model_.textures.size())
        fail("texture " + std::to_string(textureIndex) + " does not exist");
    const tinygltf::Texture& texture = model_.textures[size_t(textureIndex)];
    int image = texture.source;
    // A WebP picture may be the only one given; it is turned into PNG below.
    auto webp = texture.extensions.find("EXT_texture_webp");
    if (image < 0 && webp != texture.extensions.end() && webp->second.IsObject() && webp->second.Has("source"))
        image = webp->second.Get("source").GetNumberAsInt();
    if (image < 0) {
        warnOnce("texture-source " + std::to_string(textureIndex),
                 "texture " + std::to_string(textureIndex) + ": its image is given only by an extension; drawn in the base colour");
        return -1;
    }
    if (size_t(image) >= model_.images.size())
        fail("texture " + std::to_string(textureIndex) + " names image " + std::to_string(image) + ", which does not exist");
    auto found = textureFileOf_.find(image);
    if (found != textureFileOf_.end()) {
        jpeg = found->second.second;
        return found->second.first;
    }
    const tinygltf::Image& img = model_.images[size_t(image)];
    std::vector<unsigned char> bytes;
    if (img.bufferView >= 0) {
        uint64_t stride = 0;
        std::string problem;
        uint64_t length = size_t(img.bufferView) < model_.bufferViews.size() ? model_.bufferViews[size_t(img.bufferView)].byteLength : 0;
        const unsigned char* p = viewBytes(model_, img.bufferView, 0, 1, length, stride, problem);
        if (!p)
            fail("image " + std::to_string(image) + " " + problem);
        bytes.assign(p, p + length);
    } else {
        auto kept = images_.byIndex.find(image);
        if (kept != images_.byIndex.end())
            bytes = kept->second;
    }
    int result = -1;
    if (isJpeg(bytes) || isPng(bytes)) {
        jpeg = isJpeg(bytes);
        std::string stem = imageStem(img, image);
        show_.textures.push_back({freeTextureName(stem, jpeg ? ".jpg" : ".png"), std::string(bytes.begin(), bytes.end())});
        result = int(show_.textures.size()) - 1;
    } else if (isWebp(bytes)) {
        std::string png = webpAsPng(bytes.data(), bytes.size(), maxPictureSide);
        if (png.empty()) {
            show_.warnings.push_back("image " + std::to_string(image) + ": a WebP picture that does not decode (or is over " +
                                     std::to_string(maxPictureSide) + " pixels a side); drawn in the base colour");
        } else {
            std::string stem = imageStem(img, image);
            const std::string name = freeTextureName(stem, ".png");
            show_.textures.push_back({name, png});
            result = int(show_.textures.size()) - 1;
            show_.notes.push_back("image " + std::to_string(image) + ": WebP written as " + name);
        }
    } else if (bytes.empty()) {
        show_.warnings.push_back("image " + std::to_string(image) + (img.uri.empty() ? "" : " (" + img.uri + ")") +
                                 ": cannot be read; drawn in the base colour");
    } else {
        show_.warnings.push_back("image " + std::to_string(image) + ": neither JPEG, PNG nor WebP; drawn in the base colour");
    }
    textureFileOf_[image] = {result, jpeg};
    return result;
}

// NAME_stem.ext, or NAME_stem_2.ext, _3 ... when a texture of this import has that name.
std::string Importer::freeTextureName(const std::string& stem, const char* extension) const
{
    std::string name = stem_ + "_" + stem + extension;
    for (int n = 2;; ++n) {
        bool used = false;
        for (const OutputFile& f : show_.textures)
            used = used || f.name == name;
        if (!used)
            return name;
        name = stem_ + "_" + stem + "_" + std::to_string(n) + extension;
    }
}

std::string Importer::solidTexture(const std::vector<double>& colour, const std::string& stem)
{
    unsigned char rgb[3];
    for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<unsigned char>(std::lround(linearToSrgb(i < int(colour.size()) ? colour[size_t(i)] : 1.0) * 255));
    std::string key(reinterpret_cast<const char*>(rgb), 3);
    auto found = solidOf_.find(key);
    if (found != solidOf_.end())
        return show_.textures[size_t(found->second)].name;
    const std::string name = freeTextureName(stem, ".png");
    show_.textures.push_back({name, solidPng(rgb[0], rgb[1], rgb[2])});
    solidOf_[key] = int(show_.textures.size()) - 1;
    return name;
}

int Importer::materialIndex(int gltfMaterial)
{
    if (gltfMaterial >= 0 && size_t(gltfMaterial) >= model_.materials.size())
        fail("material " + std::to_string(gltfMaterial) + " does not exist");
    auto found = materialOf_.find(gltfMaterial);
    if (found != materialOf_.end())
        return found->second;
    int index = int(materialSource_.size());
    materialSource_.push_back(gltfMaterial);
    materialOf_[gltfMaterial] = index;
    return index;
}

void Importer::fillMaterials()
{
    std::string envName;
    if (!options_.envFile.empty()) {
        std::string text;
        if (!readFileBytes(options_.envFile, text))
            text.clear();
        std::vector<unsigned char> bytes(text.begin(), text.end());
        if (!isJpeg(bytes) && !isPng(bytes))
            fail("the sphere map " + options_.envFile + " is not a readable JPEG or PNG file");
        envName = stem_ + "_env" + (isJpeg(bytes) ? ".jpg" : ".png");
        show_.textures.push_back({envName, std::string(bytes.begin(), bytes.end())});
    }
    std::map<std::string, std::vector<std::string>> ignored;
    for (int source : materialSource_) {
        MaterialSpec spec;
        if (source == linesMaterial) {
            spec.name = "lines";
            show_.scene.materials.push_back(spec);
            continue;
        }
        if (source < 0) {
            spec.name = "default";
            spec.maps[1] = {1.0f, solidTexture({1, 1, 1}, "default")};
            show_.scene.materials.push_back(spec);
            continue;
        }
        const tinygltf::Material& m = model_.materials[size_t(source)];
        spec.name = playerName(m.name, "material" + std::to_string(source), maxMaterialName);
        if (const tinygltf::Value* taldrex = taldrexOf(m.extras)) {
            exportedMaps(m, *taldrex, spec);
            show_.scene.materials.push_back(spec);
            continue;
        }
        const auto& pbr = m.pbrMetallicRoughness;
        std::string file;
        if (pbr.baseColorTexture.index >= 0) {
            bool jpeg = false;
            int t = textureFile(pbr.baseColorTexture.index, jpeg);
            if (t >= 0) {
                file = show_.textures[size_t(t)].name;
                const auto& f = pbr.baseColorFactor;
                if (f.size() >= 3 && (f[0] != 1 || f[1] != 1 || f[2] != 1))
                    ignored["base colour factor"].push_back(spec.name);
            }
        }
        if (file.empty())
            file = solidTexture(pbr.baseColorFactor, fileStem(spec.name));
        double alpha = pbr.baseColorFactor.size() == 4 ? pbr.baseColorFactor[3] : 1.0;
        float amount = 1.0f;
        if (alpha < 1.0 || m.alphaMode == "BLEND") {
            amount = float(alpha < 1.0 ? std::max(alpha, 0.01) : 0.5);
            show_.warnings.push_back("material " + quoted(spec.name) + ": translucent, drawn additively at " +
                                     formatNumber(amount) + " by the player");
        }
        if (m.alphaMode == "MASK")
            ignored["alpha mask"].push_back(spec.name);
        spec.maps[1] = {amount, file};
        if (!envName.empty() && pbr.metallicFactor >= 0.5)
            spec.maps[9] = {1.0f, envName};
        if (m.emissiveTexture.index >= 0 ||
            (m.emissiveFactor.size() == 3 && (m.emissiveFactor[0] > 0 || m.emissiveFactor[1] > 0 || m.emissiveFactor[2] > 0)))
            ignored["emission"].push_back(spec.name);
        if (m.normalTexture.index >= 0)
            ignored["normal map"].push_back(spec.name);
        if (m.occlusionTexture.index >= 0)
            ignored["occlusion map"].push_back(spec.name);
        if (pbr.metallicRoughnessTexture.index >= 0)
            ignored["metallic-roughness map"].push_back(spec.name);
        for (const auto& ext : m.extensions) {
            if (ext.first == "KHR_materials_emissive_strength")
                continue;
            std::string feature = ext.first.rfind("KHR_materials_", 0) == 0 ? ext.first.substr(14) : ext.first;
            show_.warnings.push_back("material " + quoted(spec.name) + ": " + feature + " is not supported, drawn opaque");
        }
        show_.scene.materials.push_back(spec);
    }
    if (colourAttributes_)
        ignored["vertex colours"].push_back("");
    static const std::map<std::string, std::string> outcome = {
        {"base colour factor", "not applied to the texture"}, {"alpha mask", "drawn opaque"}};
    for (const auto& entry : ignored) {
        std::string who;
        for (const std::string& name : entry.second)
            if (!name.empty())
                who += (who.empty() ? "" : ", ") + quoted(name);
        auto found = outcome.find(entry.first);
        show_.warnings.push_back((who.empty() ? entry.first : "material " + who + ": " + entry.first) + " " +
                                 (found != outcome.end() ? found->second : "ignored"));
    }
}

// A material taldrex-scene export wrote: its maps as the player had them. A map's picture
// is the one the glTF carries, else the map keeps its file name (the player found no
// picture for it either, or it is looked up in the demo folder as before).
void Importer::exportedMaps(const tinygltf::Material& material, const tinygltf::Value& taldrex, MaterialSpec& spec)
{
    auto map = [&](const char* name, int texture, MaterialMapSpec& slot) {
        if (!taldrex.Has(name) || !taldrex.Get(name).IsObject())
            return;
        const tinygltf::Value& extras = taldrex.Get(name);
        const tinygltf::Value& amount = extras.Get("amount");
        slot.amount = amount.IsNumber() ? float(amount.GetNumberAsDouble()) : 1.0f;
        if (extras.Get("file").IsString())
            slot.file = cutUtf8(extras.Get("file").Get<std::string>(), maxMaterialName);
        bool jpeg = false;
        const int file = texture >= 0 ? textureFile(texture, jpeg) : -1;
        if (file >= 0)
            slot.file = show_.textures[size_t(file)].name;
    };
    map("surface", material.pbrMetallicRoughness.baseColorTexture.index, spec.maps[1]);
    const tinygltf::Value& sphere = taldrex.Get("sphereMap");
    map("sphereMap", sphere.IsObject() ? extrasInt(sphere, "texture", -1) : -1, spec.maps[9]);
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
    case NodeType::Spot:
        break;
    case NodeType::Transform:
        track(node.position.keys.size()), track(node.rotation.keys.size()), track(node.scale.keys.size());
        break;
    }
    for (const NodeSpec& child : node.children)
        count(child);
}

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
    if (cameras_.empty())
        addDefaultCamera();
    else
        show_.notes.push_back("the player draws every camera's picture at 83:65, whatever its aspect ratio");
    // Cameras first, so a part finds each camera before any other node that shares its name.
    show_.scene.nodes = std::move(cameras_);
    for (NodeSpec& node : roots)
        show_.scene.nodes.push_back(std::move(node));
    for (NodeSpec& node : skinned_)
        show_.scene.nodes.push_back(std::move(node));
    makeNamesUnique(show_.scene.nodes);
    if (model_.asset.generator == "taldrex-scene export")
        show_.notes.push_back("written by taldrex-scene export: groups, maps, light colours and field-of-view keys "
                              "are read back from its extras");
    if (shapedNormals_ > 0)
        show_.notes.push_back(std::to_string(shapedNormals_) + " vertices have the model's normal only by a face added "
                              "outside every group (the player averages the faces around a vertex)");
    fillMaterials();
    show_.materials = int(show_.scene.materials.size());
    for (const NodeSpec& node : show_.scene.nodes)
        count(node);
    if (sceneBytes() >= maxSceneBytes)
        fail("would make a scene file of more than 1 GiB, more than the player reads (try a larger --tolerance or a shorter animation)");
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

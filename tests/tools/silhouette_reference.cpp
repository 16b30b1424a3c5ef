#include "silhouette_reference.h"

#include "graph/player_facts.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace reference {

M4 identity()
{
    M4 m{};
    m[0] = m[5] = m[10] = m[15] = 1;
    return m;
}

M4 mul(const M4& a, const M4& b)
{
    M4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[size_t(c * 4 + row)] += a[size_t(k * 4 + row)] * b[size_t(c * 4 + k)];
    return r;
}

V3 apply(const M4& m, const V3& p)
{
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}


namespace {

constexpr double pi = 3.14159265358979323846;

// One value of a component type at p, normalised when asked.
double component(const unsigned char* p, int type, bool normalized)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const double v = double(int8_t(p[0]));
        return normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalized ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t s;
        std::memcpy(&s, p, 2);
        return normalized ? std::max(s / 32767.0, -1.0) : s;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t s;
        std::memcpy(&s, p, 2);
        return normalized ? s / 65535.0 : s;
    }
    default: {
        uint32_t u;
        std::memcpy(&u, p, 4);
        return u;
    }
    }
}

// count elements of n components from a buffer view (stride from the view, else packed).
void readView(const tinygltf::Model& m, int view, size_t offset, size_t count, int n, int type, bool normalized,
              double* out)
{
    const tinygltf::BufferView& v = m.bufferViews[size_t(view)];
    const size_t size = size_t(tinygltf::GetComponentSizeInBytes(uint32_t(type)));
    const size_t stride = v.byteStride ? v.byteStride : size * size_t(n);
    const unsigned char* base = m.buffers[size_t(v.buffer)].data.data() + v.byteOffset + offset;
    for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < n; ++c)
            out[i * size_t(n) + size_t(c)] = component(base + i * stride + size_t(c) * size, type, normalized);
}

double determinant3(const M4& m)
{
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// The keyed value at time: STEP, LINEAR (spherical for rotations) or CUBICSPLINE.
std::vector<double> interpolate(const std::vector<double>& in, const std::vector<double>& out,
                                const std::string& mode, bool rotation, double t)
{
    const bool cubic = mode == "CUBICSPLINE";
    const size_t n = out.size() / in.size() / (cubic ? 3 : 1);
    auto value = [&](size_t k, size_t part) {
        const size_t at = cubic ? (k * 3 + part) * n : k * n;
        return std::vector<double>(out.begin() + long(at), out.begin() + long(at + n));
    };
    if (t <= in.front() || in.size() == 1)
        return value(0, 1);
    if (t >= in.back())
        return value(in.size() - 1, 1);
    size_t k = size_t(std::upper_bound(in.begin(), in.end(), t) - in.begin()) - 1;
    const double dt = in[k + 1] - in[k], u = (t - in[k]) / dt;
    std::vector<double> a = value(k, 1), b = value(k + 1, 1), r(n);
    if (mode == "STEP")
        return a;
    if (cubic) {
        const std::vector<double> outTangent = value(k, 2), inTangent = value(k + 1, 0);
        const double u2 = u * u, u3 = u2 * u;
        for (size_t i = 0; i < n; ++i)
            r[i] = (2 * u3 - 3 * u2 + 1) * a[i] + (u3 - 2 * u2 + u) * dt * outTangent[i] + (-2 * u3 + 3 * u2) * b[i] +
                   (u3 - u2) * dt * inTangent[i];
    } else if (rotation) {
        double d = 0;
        for (size_t i = 0; i < 4; ++i)
            d += a[i] * b[i];
        const double sign = d < 0 ? -1 : 1, angle = std::acos(std::min(1.0, std::fabs(d)));
        double wa = 1 - u, wb = u;
        if (angle > 1e-9)
            wa = std::sin((1 - u) * angle) / std::sin(angle), wb = std::sin(u * angle) / std::sin(angle);
        for (size_t i = 0; i < 4; ++i)
            r[i] = wa * a[i] + sign * wb * b[i];
    } else {
        for (size_t i = 0; i < n; ++i)
            r[i] = a[i] + (b[i] - a[i]) * u;
    }
    return r;
}

// The matrix of a translation, rotation (x, y, z, w) and scale.
M4 trs(const double* t, const double* q, const double* s)
{
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const double x = q[0] / l, y = q[1] / l, z = q[2] / l, w = q[3] / l;
    return {(1 - 2 * (y * y + z * z)) * s[0], 2 * (x * y + w * z) * s[0], 2 * (x * z - w * y) * s[0], 0,
            2 * (x * y - w * z) * s[1], (1 - 2 * (x * x + z * z)) * s[1], 2 * (y * z + w * x) * s[1], 0,
            2 * (x * z + w * y) * s[2], 2 * (y * z - w * x) * s[2], (1 - 2 * (x * x + y * y)) * s[2], 0,
            t[0], t[1], t[2], 1};
}

// glTF's Y-up point in the player's Z-up axes.
V3 toPlayer(const V3& p, double scale)
{
    return {p[0] * scale, -p[2] * scale, p[1] * scale};
}

} // namespace

GltfModel::GltfModel(const std::string& path)
{
    tinygltf::TinyGLTF loader;
    std::string warn;
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    loaded_ = binary ? loader.LoadBinaryFromFile(&model_, &problem_, &warn, path)
                     : loader.LoadASCIIFromFile(&model_, &problem_, &warn, path);
    parent_.assign(model_.nodes.size(), -1);
    for (size_t i = 0; i < model_.nodes.size(); ++i)
        for (int c : model_.nodes[i].children)
            parent_[size_t(c)] = int(i);
}

std::vector<double> GltfModel::read(int index) const
{
    const tinygltf::Accessor& a = model_.accessors[size_t(index)];
    const int n = tinygltf::GetNumComponentsInType(uint32_t(a.type));
    std::vector<double> out(a.count * size_t(n), 0.0);
    if (a.bufferView >= 0)
        readView(model_, a.bufferView, a.byteOffset, a.count, n, a.componentType, a.normalized, out.data());
    if (a.sparse.isSparse) {
        const size_t count = size_t(a.sparse.count);
        std::vector<double> at(count), values(count * size_t(n));
        readView(model_, a.sparse.indices.bufferView, size_t(a.sparse.indices.byteOffset), count, 1,
                 a.sparse.indices.componentType, false, at.data());
        readView(model_, a.sparse.values.bufferView, size_t(a.sparse.values.byteOffset), count, n, a.componentType,
                 a.normalized, values.data());
        for (size_t i = 0; i < count; ++i)
            std::copy(values.begin() + long(i * size_t(n)), values.begin() + long((i + 1) * size_t(n)),
                      out.begin() + long(size_t(at[i]) * size_t(n)));
    }
    return out;
}

std::vector<double> GltfModel::animated(int node, const char* path, double time, std::vector<double> rest) const
{
    if (model_.animations.empty())
        return rest;
    const tinygltf::Animation& animation = model_.animations[0];
    for (const tinygltf::AnimationChannel& channel : animation.channels) {
        if (channel.target_node != node || channel.target_path != path)
            continue;
        const tinygltf::AnimationSampler& s = animation.samplers[size_t(channel.sampler)];
        return interpolate(read(s.input), read(s.output), s.interpolation, std::strcmp(path, "rotation") == 0, time);
    }
    return rest;
}

M4 GltfModel::local(int index, double time) const
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    if (node.matrix.size() == 16) {
        M4 r;
        std::copy(node.matrix.begin(), node.matrix.end(), r.begin());
        return r;
    }
    const auto t = animated(index, "translation", time, node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation);
    auto q = animated(index, "rotation", time, node.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : node.rotation);
    const auto s = animated(index, "scale", time, node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale);
    return trs(t.data(), q.data(), s.data());
}

M4 GltfModel::world(int index, double time) const
{
    M4 r = identity();
    for (int n = index; n >= 0; n = parent_[size_t(n)])
        r = mul(local(n, time), r);
    return r;
}

void GltfModel::addMesh(int index, const M4& placed, double time, double scale, std::vector<Triangle>& out) const
{
    const tinygltf::Node& node = model_.nodes[size_t(index)];
    const tinygltf::Mesh& mesh = model_.meshes[size_t(node.mesh)];
    std::vector<double> rest = mesh.weights;
    size_t targets = 0;
    for (const tinygltf::Primitive& p : mesh.primitives)
        targets = std::max(targets, p.targets.size());
    rest.resize(targets, 0.0);
    const std::vector<double> weights = animated(index, "weights", time, rest);
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
        const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
        if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN)
            continue;
        std::vector<double> p = read(primitive.attributes.at("POSITION"));
        const size_t count = p.size() / 3;
        for (size_t k = 0; k < primitive.targets.size() && k < weights.size(); ++k) {
            auto found = primitive.targets[k].find("POSITION");
            if (found == primitive.targets[k].end())
                continue;
            const std::vector<double> d = read(found->second);
            for (size_t i = 0; i < p.size(); ++i)
                p[i] += weights[k] * d[i];
        }
        std::vector<V3> points(count);
        bool mirrored = determinant3(placed) < 0;
        if (node.skin >= 0) {
            const tinygltf::Skin& skin = model_.skins[size_t(node.skin)];
            std::vector<M4> joints(skin.joints.size());
            const std::vector<double> inverse = skin.inverseBindMatrices >= 0 ? read(skin.inverseBindMatrices) : std::vector<double>();
            for (size_t j = 0; j < joints.size(); ++j) {
                M4 bind = identity();
                if (!inverse.empty())
                    std::copy(inverse.begin() + long(j * 16), inverse.begin() + long(j * 16 + 16), bind.begin());
                joints[j] = mul(world(skin.joints[j], time), bind);
            }
            const std::vector<double> js = read(primitive.attributes.at("JOINTS_0"));
            const std::vector<double> ws = read(primitive.attributes.at("WEIGHTS_0"));
            for (size_t v = 0; v < count; ++v) {
                M4 blend{};
                for (size_t i = 0; i < 4; ++i)
                    for (size_t e = 0; e < 16; ++e)
                        blend[e] += ws[v * 4 + i] * joints[size_t(js[v * 4 + i])][e];
                points[v] = toPlayer(apply(blend, {p[v * 3], p[v * 3 + 1], p[v * 3 + 2]}), scale);
            }
            mirrored = false;
        } else {
            for (size_t v = 0; v < count; ++v)
                points[v] = toPlayer(apply(placed, {p[v * 3], p[v * 3 + 1], p[v * 3 + 2]}), scale);
        }
        std::vector<size_t> indices;
        if (primitive.indices >= 0)
            for (double i : read(primitive.indices))
                indices.push_back(size_t(i));
        else
            for (size_t i = 0; i < count; ++i)
                indices.push_back(i);
        const bool culled = primitive.material < 0 || !model_.materials[size_t(primitive.material)].doubleSided;
        auto add = [&](size_t a, size_t b, size_t c) {
            // A mirrored node turns its faces' winding round, and glTF turns its front with it.
            if (mirrored)
                std::swap(b, c);
            out.push_back({{points[a], points[b], points[c]}, culled});
        };
        if (mode == TINYGLTF_MODE_TRIANGLES)
            for (size_t i = 0; i + 2 < indices.size(); i += 3)
                add(indices[i], indices[i + 1], indices[i + 2]);
        else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP)
            for (size_t i = 0; i + 2 < indices.size(); ++i)
                i % 2 ? add(indices[i + 1], indices[i], indices[i + 2]) : add(indices[i], indices[i + 1], indices[i + 2]);
        else
            for (size_t i = 1; i + 1 < indices.size(); ++i)
                add(indices[0], indices[i], indices[i + 1]);
    }
}

// The node's world matrix, or with EXT_mesh_gpu_instancing one per instance.
std::vector<M4> GltfModel::placesOf(int index, double time) const
{
    const M4 placed = world(index, time);
    auto found = model_.nodes[size_t(index)].extensions.find("EXT_mesh_gpu_instancing");
    if (found == model_.nodes[size_t(index)].extensions.end())
        return {placed};
    const tinygltf::Value& attributes = found->second.Get("attributes");
    std::vector<double> parts[3];
    size_t count = 0;
    const char* names[3] = {"TRANSLATION", "ROTATION", "SCALE"};
    for (int k = 0; k < 3; ++k)
        if (attributes.Has(names[k])) {
            parts[k] = read(attributes.Get(names[k]).GetNumberAsInt());
            count = parts[k].size() / (k == 1 ? 4 : 3);
        }
    std::vector<M4> places;
    for (size_t i = 0; i < count; ++i) {
        const double t0[3] = {0, 0, 0}, q0[4] = {0, 0, 0, 1}, s0[3] = {1, 1, 1};
        places.push_back(mul(placed, trs(parts[0].empty() ? t0 : &parts[0][i * 3], parts[1].empty() ? q0 : &parts[1][i * 4],
                                         parts[2].empty() ? s0 : &parts[2][i * 3])));
    }
    return places;
}

std::vector<Triangle> GltfModel::triangles(double time, double scale) const
{
    std::vector<Triangle> out;
    const int scene = model_.defaultScene >= 0 ? model_.defaultScene : 0;
    std::vector<int> stack(model_.scenes[size_t(scene)].nodes);
    while (!stack.empty()) {
        const int index = stack.back();
        stack.pop_back();
        const tinygltf::Node& node = model_.nodes[size_t(index)];
        if (node.mesh >= 0)
            for (const M4& placed : placesOf(index, time))
                addMesh(index, placed, time, scale, out);
        stack.insert(stack.end(), node.children.begin(), node.children.end());
    }
    return out;
}

Pose GltfModel::cameraPose(int node, double time, double scale) const
{
    const M4 m = world(node, time);
    auto direction = [&](double x, double y, double z) {
        V3 d = toPlayer({m[0] * x + m[4] * y + m[8] * z, m[1] * x + m[5] * y + m[9] * z, m[2] * x + m[6] * y + m[10] * z}, 1);
        const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (double& c : d)
            c /= l;
        return d;
    };
    return {toPlayer({m[12], m[13], m[14]}, scale), direction(0, 0, -1), direction(0, 1, 0)};
}

size_t Mask::count() const
{
    return size_t(std::count(covered.begin(), covered.end(), uint8_t(1)));
}

namespace {

struct Clip {
    double x, y, z; // view space: z is the distance ahead of the eye
};

// Fills the triangle (in pixels, y from the top) at every pixel centre inside it.
void fill(const std::array<double, 2>* p, Mask& mask)
{
    const double area = (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[2][0] - p[0][0]) * (p[1][1] - p[0][1]);
    if (area == 0)
        return;
    const int x0 = std::max(0, int(std::floor(std::min({p[0][0], p[1][0], p[2][0]}))));
    const int x1 = std::min(mask.width - 1, int(std::ceil(std::max({p[0][0], p[1][0], p[2][0]}))));
    const int y0 = std::max(0, int(std::floor(std::min({p[0][1], p[1][1], p[2][1]}))));
    const int y1 = std::min(mask.height - 1, int(std::ceil(std::max({p[0][1], p[1][1], p[2][1]}))));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            bool inside = true;
            for (int e = 0; e < 3 && inside; ++e) {
                const auto& a = p[e];
                const auto& b = p[(e + 1) % 3];
                const double side = (b[0] - a[0]) * (cy - a[1]) - (b[1] - a[1]) * (cx - a[0]);
                inside = area > 0 ? side >= 0 : side <= 0;
            }
            if (inside)
                mask.covered[size_t(y * mask.width + x)] = 1;
        }
}

} // namespace

Mask Project(const std::vector<Triangle>& triangles, const CameraLook& look, int width, int height)
{
    Mask mask;
    mask.width = width, mask.height = height;
    mask.covered.assign(size_t(width * height), 0);
    const V3 eye{look.eye.x, look.eye.y, look.eye.z};
    V3 f{look.centre.x - eye[0], look.centre.y - eye[1], look.centre.z - eye[2]};
    const double distance = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f)
        c /= distance;
    const V3 up{look.up.x, look.up.y, look.up.z};
    V3 s{f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    const double ls = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& c : s)
        c /= ls;
    const V3 u{s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    const double focal = 1 / std::tan(look.fieldOfViewDegrees * pi / 360);
    const double nearest = 1e-6 * distance;
    for (const Triangle& t : triangles) {
        std::vector<Clip> polygon;
        for (const V3& c : t.corners) {
            const V3 d{c[0] - eye[0], c[1] - eye[1], c[2] - eye[2]};
            polygon.push_back({s[0] * d[0] + s[1] * d[1] + s[2] * d[2], u[0] * d[0] + u[1] * d[1] + u[2] * d[2],
                               f[0] * d[0] + f[1] * d[1] + f[2] * d[2]});
        }
        // Clipped at a near plane a millionth of the way to the point looked at.
        std::vector<Clip> kept;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const Clip& a = polygon[i];
            const Clip& b = polygon[(i + 1) % polygon.size()];
            if (a.z >= nearest)
                kept.push_back(a);
            if ((a.z >= nearest) != (b.z >= nearest)) {
                const double k = (nearest - a.z) / (b.z - a.z);
                kept.push_back({a.x + (b.x - a.x) * k, a.y + (b.y - a.y) * k, nearest});
            }
        }
        if (kept.size() < 3)
            continue;
        std::vector<std::array<double, 2>> pixels;
        for (const Clip& c : kept)
            pixels.push_back({(focal / FixedAspect * c.x / c.z + 1) / 2 * width, (1 - focal * c.y / c.z) / 2 * height});
        // Counter-clockwise on screen (y down: negative area) is the front.
        double area = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const auto& a = pixels[i];
            const auto& b = pixels[(i + 1) % pixels.size()];
            area += a[0] * b[1] - b[0] * a[1];
        }
        if (t.culled && area >= 0)
            continue;
        for (size_t i = 1; i + 1 < pixels.size(); ++i) {
            const std::array<double, 2> corners[3] = {pixels[0], pixels[i], pixels[i + 1]};
            fill(corners, mask);
        }
    }
    return mask;
}

Mask ProjectOrthographic(const std::vector<Triangle>& triangles, const Pose& pose, double halfHeight, int width,
                         int height)
{
    Mask mask;
    mask.width = width, mask.height = height;
    mask.covered.assign(size_t(width * height), 0);
    const V3& f = pose.forward;
    const V3& u = pose.up;
    const V3 s{f[1] * u[2] - f[2] * u[1], f[2] * u[0] - f[0] * u[2], f[0] * u[1] - f[1] * u[0]};
    for (const Triangle& t : triangles) {
        std::array<double, 2> pixels[3];
        for (int c = 0; c < 3; ++c) {
            const V3 d{t.corners[c][0] - pose.eye[0], t.corners[c][1] - pose.eye[1], t.corners[c][2] - pose.eye[2]};
            const double x = s[0] * d[0] + s[1] * d[1] + s[2] * d[2], y = u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
            pixels[c] = {(x / (halfHeight * FixedAspect) + 1) / 2 * width, (1 - y / halfHeight) / 2 * height};
        }
        const double area = (pixels[1][0] - pixels[0][0]) * (pixels[2][1] - pixels[0][1]) -
                            (pixels[2][0] - pixels[0][0]) * (pixels[1][1] - pixels[0][1]);
        if (t.culled && area >= 0)
            continue;
        fill(pixels, mask);
    }
    return mask;
}

Mask Drawn(const std::vector<uint8_t>& rgba, int width, int height)
{
    Mask mask;
    mask.width = width, mask.height = height;
    mask.covered.assign(size_t(width * height), 0);
    for (size_t i = 0; i < mask.covered.size() && i * 4 + 2 < rgba.size(); ++i)
        mask.covered[i] = rgba[i * 4] > 16 || rgba[i * 4 + 1] > 16 || rgba[i * 4 + 2] > 16;
    return mask;
}

double IntersectionOverUnion(const Mask& a, const Mask& b)
{
    size_t both = 0, either = 0;
    for (size_t i = 0; i < a.covered.size() && i < b.covered.size(); ++i) {
        both += a.covered[i] && b.covered[i];
        either += a.covered[i] || b.covered[i];
    }
    return either == 0 ? 1.0 : double(both) / double(either);
}

int PrimaryColourOf(const uint8_t* rgba)
{
    const int top = std::max({rgba[0], rgba[1], rgba[2]});
    if (top < 24)
        return -1;
    if (rgba[0] > top * 0.6 && rgba[1] > top * 0.6 && rgba[2] > top * 0.6)
        return 3;
    return rgba[0] == top ? 0 : rgba[1] == top ? 1 : 2;
}

double MaskAgreement(const std::vector<uint8_t>& rgba, const std::vector<Mask>& masks,
                     int (*classify)(const uint8_t*))
{
    size_t same = 0, all = 0;
    for (size_t k = 0; k < masks.size(); ++k)
        for (size_t p = 0; p < masks[k].covered.size() && p * 4 < rgba.size(); ++p)
            if (masks[k].covered[p]) {
                ++all;
                same += classify(&rgba[p * 4]) == int(k);
            }
    return all ? double(same) / double(all) : 0.0;
}

} // namespace reference

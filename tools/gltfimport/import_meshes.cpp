#include "importer.h"

#include "colour_atlas.h"
#include "import_names.h"
#include "key_fitting.h"
#include "png_bytes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gltf_import {

namespace {

// The triangles of a primitive drawn in mode, from its indices.
std::vector<std::array<size_t, 3>> triangulate(const std::vector<size_t>& indices, int mode, bool lines)
{
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
    return triangles;
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

// The player makes a vertex's normal from the faces around it, each weighing by its area.
// Where that normal would differ from the model's by more than a tenth of a degree, a face
// outside every group (shaping normals, never drawn) is added at the vertex, with two
// vertices of its own, turned and sized so that the sum comes out along the model's normal.
// wanted holds the model's normal of each vertex from the first on (NaN where it has none).
// Returns the number of faces added.
int shapeNormals(const std::vector<DVec3>& wanted, NodeSpec& spec)
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
    for (size_t v = 0; v < count && v < wanted.size(); ++v) {
        const DVec3 normal = normalised(toPlayerD(wanted[v]));
        const double size = length3(sums[v]);
        if (!(length3(normal) > 0.5) || !(size > 0) || dot3(sums[v], normal) >= closeEnough * size)
            continue;
        // The face's normal (v0 - v1) x (v1 - v2) with v1 = v0 + e1, v2 = v0 + e2 is e1 x e2.
        const DVec3 w = normal * size - sums[v];
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

} // namespace

// Vertex v of a mesh with its morph targets at weights w.
DVec3 morphed(const MeshData& mesh, size_t v, const std::vector<double>& w)
{
    DVec3 p = mesh.base[v];
    for (size_t k = 0; k < mesh.targets.size(); ++k)
        p = p + mesh.targets[k][v] * w[k];
    return p;
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
    if (primitive.attributes.find("POSITION") == primitive.attributes.end()) {
        warnOnce("noposition " + std::to_string(meshIndex), where + ": a primitive without positions, skipped");
        return;
    }
    const size_t first = data.base.size();
    const size_t vertexCount = readVertices(primitive, data, where);
    readTargets(primitive, data, where, first);
    readInfluences(primitive, data, where, first);

    // Material and texture coordinates. Lines are drawn by the player's plain material,
    // in the colour of the texture bound last.
    if (lines)
        warnOnce("lines", where + ": lines are drawn in the colour of the texture the player bound last, "
                                  "not in their material's colour");
    int material = materialIndex(lines ? linesMaterial : primitive.material);
    const CornerMapping mapping = cornerMapping(primitive, lines, where, vertexCount);
    auto cornerUv = [&](size_t v, float& s, float& t) {
        if (mapping.uv.empty()) {
            s = t = 0.5f;
            return;
        }
        const std::vector<double>& uv = mapping.uv;
        const std::array<double, 6>& transform = mapping.transform;
        double u0 = uv[v * 2], v0 = uv[v * 2 + 1];
        double u1 = transform[0] * u0 + transform[1] * v0 + transform[2];
        double v1 = transform[3] * u0 + transform[4] * v0 + transform[5];
        // JPEG textures are uploaded bottom row first, PNG textures top row first.
        s = float(u1);
        t = float(mapping.jpeg ? 1.0 - v1 : v1);
    };

    std::vector<std::array<size_t, 3>> triangles = triangulate(readIndices(primitive, where, vertexCount), mode, lines);
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
    if (!lines && !group.faces.empty())
        bakeVertexColours(primitive, meshIndex, where, vertexCount, triangles, group, data);
    if (!group.faces.empty()) {
        data.groupOfPrimitive.back() = int(data.groups.size());
        data.groups.push_back(std::move(group));
    }
}

// The primitive's COLOR_0 baked into an atlas its faces draw, with a scene material of its
// own: the glTF material's base colour factor times the colours. Warns, naming the mesh, and
// leaves the group as it is when the material has a texture or the atlas would pass its
// limit; colours that are all white change nothing.
void Importer::bakeVertexColours(const tinygltf::Primitive& primitive, int meshIndex, const std::string& where,
                                 size_t vertexCount, const std::vector<std::array<size_t, 3>>& triangles, GroupSpec& group,
                                 MeshData& data)
{
    auto attribute = primitive.attributes.find("COLOR_0");
    if (attribute == primitive.attributes.end())
        return;
    int n = 0;
    const std::vector<double>& values = accessor(attribute->second, n);
    const tinygltf::Accessor& a = model_.accessors[size_t(attribute->second)];
    if ((n != 3 && n != 4) || values.size() != vertexCount * size_t(n))
        fail(where + ": vertex colours do not match the primitive's vertices");
    // Unsigned bytes and shorts are always fractions of their largest value, marked so or not.
    double unit = 1;
    if (!a.normalized && a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE)
        unit = 1 / 255.0;
    else if (!a.normalized && a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
        unit = 1 / 65535.0;
    else if (a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT && a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
             a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
        warnOnce("colour-type " + where, where + ": vertex colours ignored: they are neither floats nor unsigned bytes "
                                                 "or shorts");
        return;
    }
    bool white = true, opaque = true;
    for (size_t v = 0; v < vertexCount; ++v) {
        for (size_t c = 0; c < 3; ++c)
            white = white && values[v * size_t(n) + c] * unit >= 1;
        opaque = opaque && (n == 3 || values[v * 4 + 3] * unit >= 1);
    }
    if (!opaque)
        warnOnce("colour-alpha " + where, where + ": the alpha of its vertex colours is ignored, drawn opaque");
    if (white)
        return;
    const int source = primitive.material;
    const std::string materialName =
        source < 0 ? "default"
                   : playerName(model_.materials[size_t(source)].name, "material" + std::to_string(source), maxMaterialName);
    std::array<double, 3> factor{1, 1, 1};
    if (source >= 0) {
        const auto& pbr = model_.materials[size_t(source)].pbrMetallicRoughness;
        if (pbr.baseColorTexture.index >= 0) {
            warnOnce("colour-texture " + where, where + ": vertex colours ignored on material " + quoted(materialName) +
                                                     ", which has a texture");
            return;
        }
        for (size_t c = 0; c < 3 && c < pbr.baseColorFactor.size(); ++c)
            factor[c] = pbr.baseColorFactor[c];
    }
    std::vector<FaceColours> colours;
    colours.reserve(triangles.size());
    for (const auto& tri : triangles) {
        FaceColours face;
        for (size_t c = 0; c < 3; ++c)
            for (size_t k = 0; k < 3; ++k)
                face[c][k] = values[tri[c] * size_t(n) + k] * unit * factor[k];
        colours.push_back(face);
    }
    ColourAtlas atlas;
    if (!BakeColourAtlas(colours, maxColourAtlasSide, atlas)) {
        warnOnce("colour-atlas " + where, where + ": vertex colours ignored: its " + std::to_string(triangles.size()) +
                                               " faces would need an atlas past " + std::to_string(maxColourAtlasSide) +
                                               " x " + std::to_string(maxColourAtlasSide) + " pixels");
        return;
    }
    const std::string png = rgbPng(atlas.picture.width, atlas.picture.height, atlas.picture.pixels.data());
    if (png.empty()) {
        warnOnce("colour-atlas " + where, where + ": vertex colours ignored: their atlas does not fit in memory");
        return;
    }
    const std::string& meshName = model_.meshes[size_t(meshIndex)].name;
    const std::string file =
        freeTextureName(fileStem(meshName.empty() ? "mesh" + std::to_string(meshIndex) : meshName) + "_colours", ".png");
    show_.textures.push_back({file, png});
    colouredFrom_.insert(group.material);
    group.material = int(materialSource_.size());
    materialSource_.push_back(source);
    colourAtlasOf_[group.material] = file;
    for (size_t i = 0; i < group.faces.size(); ++i)
        data.uvs[size_t(group.faces[i])] = atlas.uvs[i];
    show_.notes.push_back(where + ": its vertex colours are baked into " + file + ", " + std::to_string(atlas.picture.width) +
                          " x " + std::to_string(atlas.picture.height) + " pixels (" + std::to_string(atlas.patches) +
                          " patches of " + std::to_string(ColourPatchSide) + " x " + std::to_string(ColourPatchSide) + ")");
}

// Appends the primitive's positions and normals (NaN where it gives none) to the mesh;
// returns how many vertices it has.
size_t Importer::readVertices(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where)
{
    int n = 0;
    const std::vector<double>& positions = accessor(primitive.attributes.at("POSITION"), n);
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
    return vertexCount;
}

// Morph targets: every target of every primitive, vertices without one move nowhere. The
// primitive's vertices are those of the mesh from first on.
void Importer::readTargets(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where, size_t first)
{
    const size_t vertexCount = data.base.size() - first;
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
        int n = 0;
        const std::vector<double>& offsets = accessor(tp->second, n);
        if (n != 3 || offsets.size() != vertexCount * 3)
            fail(where + ": a morph target's positions do not match the primitive's vertices");
        for (size_t i = 0; i < vertexCount; ++i)
            target.push_back({offsets[i * 3], offsets[i * 3 + 1], offsets[i * 3 + 2]});
    }
    for (std::vector<DVec3>& t : data.targets)
        t.resize(first + vertexCount, DVec3{});
}

// Skin influences: up to two sets of four joints and weights per vertex.
void Importer::readInfluences(const tinygltf::Primitive& primitive, MeshData& data, const std::string& where,
                              size_t first)
{
    const size_t vertexCount = data.base.size() - first;
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
}

// The texture coordinates of a primitive's base colour, with the material's texture
// transform; lines take none from their material.
CornerMapping Importer::cornerMapping(const tinygltf::Primitive& primitive, bool lines, const std::string& where,
                                      size_t vertexCount)
{
    CornerMapping mapping;
    int texCoord = 0;
    if (!lines && primitive.material >= 0 && size_t(primitive.material) < model_.materials.size()) {
        const tinygltf::TextureInfo& info = model_.materials[size_t(primitive.material)].pbrMetallicRoughness.baseColorTexture;
        texCoord = info.texCoord;
        if (info.index >= 0)
            textureFile(info.index, mapping.jpeg);
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
            // Offset, then rotation, then scale: u' = T R S u, with R = [[c, s], [-s, c]].
            double c = std::cos(rot), s = std::sin(rot);
            mapping.transform = {c * sx, s * sy, ox, -s * sx, c * sy, oy};
        }
    }
    auto tc = primitive.attributes.find("TEXCOORD_" + std::to_string(texCoord));
    if (tc != primitive.attributes.end()) {
        int n = 0;
        const std::vector<double>& values = accessor(tc->second, n);
        if (n != 2 || values.size() != vertexCount * 2)
            fail(where + ": texture coordinates do not match the primitive's vertices");
        mapping.uv = values;
    }
    return mapping;
}

// The primitive's vertex indices, checked against its vertices; 0 to vertexCount - 1 when
// it has none.
std::vector<size_t> Importer::readIndices(const tinygltf::Primitive& primitive, const std::string& where,
                                          size_t vertexCount)
{
    std::vector<size_t> indices;
    if (primitive.indices >= 0) {
        int n = 0;
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
    return indices;
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

// Whether the node's world matrix mirrors space at frame 0 (glTF then takes its faces'
// other winding as their front). A sign that changes during the animation is warned of,
// naming the frames where it changes: the faces are written for frame 0.
bool Importer::mirrored(int nodeIndex, const std::string& name)
{
    bool animated = false;
    int steps = 0;
    for (int n = nodeIndex; n >= 0 && steps <= maxDepth * 4 && !animated; n = parent_[size_t(n)], ++steps)
        for (const char* path : {"translation", "rotation", "scale"})
            animated = animated || channels_.count({n, path});
    auto signAt = [&](int frame) {
        const double d = determinant3(worldAt(nodeIndex, frame));
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    };
    const int first = signAt(0);
    std::vector<int> changes;
    for (int f = 1, last = first; animated && f < frames_; ++f) {
        const int sign = signAt(f);
        if (sign != 0 && last != 0 && sign != last)
            changes.push_back(f);
        last = sign != 0 ? sign : last;
    }
    if (!changes.empty()) {
        std::string frames;
        for (size_t i = 0; i < changes.size() && i < 10; ++i)
            frames += (i ? ", " : "") + std::to_string(changes[i]);
        if (changes.size() > 10)
            frames += " and " + std::to_string(changes.size() - 10) + " more";
        show_.warnings.push_back("node " + quoted(name) + ": its mirroring (a negative determinant) changes during the "
                                 "animation, at frames " + frames + "; its faces are turned as at frame 0, so the "
                                 "player culls their other side where it differs");
    }
    return first < 0;
}

void Importer::convertMesh(int nodeIndex, NodeSpec& spec)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    const MeshData& mesh = meshData(node.mesh);
    fillGeometry(mesh, spec);
    // The player culls by the winding it sees on screen, which a mirroring matrix turns round.
    // A file taldrex-scene export wrote holds the faces as the player drew them already.
    if (model_.asset.generator != "taldrex-scene export" && mirrored(nodeIndex, spec.name)) {
        for (FaceSpec& face : spec.faces)
            std::swap(face.corners[1], face.corners[2]);
        ++mirroredMeshes_;
    }
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
    std::vector<DVec3> wanted = mesh.normals;
    for (int original : addBackFaces(spec))
        wanted.push_back(wanted[size_t(original)] * -1.0);
    shapedNormals_ += shapeNormals(wanted, spec);
}

// Whether glTF shows both sides of a scene material's faces where the player culls one:
// a double-sided glTF material drawn opaque (the player culls nothing of a translucent one).
bool Importer::twoSided(int sceneMaterial) const
{
    if (options_.singleSided || sceneMaterial < 0 || size_t(sceneMaterial) >= materialSource_.size())
        return false;
    const int source = materialSource_[size_t(sceneMaterial)];
    if (source < 0)
        return false;
    const tinygltf::Material& m = model_.materials[size_t(source)];
    const double alpha = m.pbrMetallicRoughness.baseColorFactor.size() == 4 ? m.pbrMetallicRoughness.baseColorFactor[3] : 1.0;
    return m.doubleSided && !taldrexOf(m.extras) && alpha >= 1.0 && m.alphaMode != "BLEND";
}

// Each face of a group whose material is two-sided is added again turned round, in the same
// group, on copies of its vertices (one copy per vertex, so the back keeps its smoothness
// and the normals the player averages on either side do not cancel), morph keys included.
// Returns, for each vertex added, the vertex it copies.
std::vector<int> Importer::addBackFaces(NodeSpec& spec)
{
    std::vector<int> copies;
    std::map<int, int> copyOf;
    for (GroupSpec& group : spec.groups) {
        if (!twoSided(group.material))
            continue;
        const size_t faces = group.faces.size();
        for (size_t i = 0; i < faces; ++i) {
            FaceSpec back = spec.faces[size_t(group.faces[i])];
            std::swap(back.corners[1], back.corners[2]);
            for (CornerSpec& corner : back.corners) {
                auto made = copyOf.emplace(corner.vertex, int(spec.vertices.size() + copies.size()));
                if (made.second)
                    copies.push_back(corner.vertex);
                corner.vertex = made.first->second;
            }
            group.faces.push_back(int(spec.faces.size()));
            spec.faces.push_back(back);
            ++backFaces_;
        }
    }
    for (int original : copies) {
        const Vector3 at = spec.vertices[size_t(original)];
        spec.vertices.push_back(at);
        for (MorphKeySpec& key : spec.morph.keys)
            key.positions.push_back(key.positions[size_t(original)]);
    }
    return copies;
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
    addBackFaces(spec);
    const double megabytes = double(spec.morph.keys.size()) * double(mesh.base.size()) * 12.0 / (1024.0 * 1024.0);
    show_.warnings.push_back("mesh " + quoted(spec.name) + ": skin baked into " + std::to_string(spec.morph.keys.size()) +
                             " morph keys of " + std::to_string(mesh.base.size()) + " vertices (" +
                             formatNumber(std::round(megabytes * 100) / 100) + " MB)");
}

// The instances EXT_mesh_gpu_instancing gives the node: a translation, rotation and scale
// each, from accessors of one count (a missing one leaves its part as it is).
std::vector<Trs> Importer::instancesOf(int nodeIndex)
{
    const tinygltf::Value& ext = model_.nodes[size_t(nodeIndex)].extensions.at("EXT_mesh_gpu_instancing");
    const std::string where = "node " + std::to_string(nodeIndex) + ": EXT_mesh_gpu_instancing";
    if (!ext.IsObject() || !ext.Get("attributes").IsObject())
        fail(where + " has no attributes");
    const tinygltf::Value& attributes = ext.Get("attributes");
    std::vector<Trs> instances;
    bool counted = false;
    for (const char* name : {"TRANSLATION", "ROTATION", "SCALE"}) {
        if (!attributes.Has(name))
            continue;
        if (!attributes.Get(name).IsNumber())
            fail(where + ": " + name + " names no accessor");
        int n = 0;
        const std::vector<double>& values = accessor(attributes.Get(name).GetNumberAsInt(), n);
        const int wanted = name[0] == 'R' ? 4 : 3;
        if (n != wanted || (counted && values.size() != instances.size() * size_t(n)))
            fail(where + ": " + name + " does not give one " + (wanted == 4 ? "VEC4" : "VEC3") + " per instance");
        if (!counted)
            instances.resize(values.size() / size_t(n));
        counted = true;
        for (size_t i = 0; i < instances.size(); ++i) {
            const double* v = &values[i * size_t(n)];
            for (int c = 0; c < n; ++c)
                if (!std::isfinite(v[c]))
                    fail(where + ": " + name + " holds a value that is not a finite number");
            if (name[0] == 'T')
                instances[i].t = {v[0], v[1], v[2]};
            else if (name[0] == 'R')
                instances[i].r = {v[0], v[1], v[2], v[3]};
            else
                instances[i].s = {v[0], v[1], v[2]};
        }
    }
    return instances;
}

// A node drawn by instances keeps its own transform and children; each instance becomes a
// mesh node below it at the instance's place, turned round where the instance mirrors.
// Refused before anything is built when the instances alone would pass the player's 1 GiB.
void Importer::convertInstances(int nodeIndex, NodeSpec& spec)
{
    const std::vector<Trs> instances = instancesOf(nodeIndex);
    if (instances.empty())
        return;
    NodeSpec first = makeNode(NodeType::Mesh, spec.name);
    convertMesh(nodeIndex, first);
    const uint64_t each = nodeBytes(first);
    if (each * instances.size() >= maxSceneBytes)
        fail("node " + quoted(spec.name) + ": its " + std::to_string(instances.size()) + " instances of " +
             std::to_string(each) + " bytes each would make a scene file of more than 1 GiB, more than the player reads");
    spec.children.reserve(spec.children.size() + instances.size());
    for (size_t i = 0; i < instances.size(); ++i) {
        NodeSpec instance = first;
        instance.name = cutUtf8(spec.name, maxNodeName - 8) + "#" + std::to_string(i + 1);
        const Trs& trs = instances[i];
        instance.position.keys = {{0, toPlayer(trs.t)}};
        instance.rotation.keys = {{0, toPlayerRotation(trs.r)}};
        instance.scale.keys = {{0, Vector3(float(trs.s.x), float(trs.s.z), float(trs.s.y))}};
        if (trs.s.x * trs.s.y * trs.s.z < 0)
            for (FaceSpec& face : instance.faces)
                std::swap(face.corners[1], face.corners[2]);
        spec.children.push_back(std::move(instance));
    }
    instanceNodes_ += int(instances.size());
    instanceBytes_ += each * instances.size();
}

} // namespace gltf_import

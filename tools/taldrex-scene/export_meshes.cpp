#include "exporter.h"

#include <tuple>

namespace gltf_export {

void Exporter::attachMesh(MeshNode& mesh, size_t at)
{
    const bool morphs = mesh.morphs();
    const int keyCount = morphs ? mesh.morphTrack.keys.size() : 0;
    const Vector3Array& base = mesh.vertices;
    // The blend of the morph keys is the base plus weighted targets; the first key is
    // the base itself when it holds the same positions, which is the usual case.
    int firstTarget = 0;
    if (morphs) {
        const Vector3Array& first = mesh.morphTrack.keys[0].positions;
        firstTarget = 1;
        for (int v = 0; v < base.size() && firstTarget == 1; ++v)
            if (!(first[v] == base[v]))
                firstTarget = 0;
    }
    tinygltf::Mesh gltf;
    gltf.name = mesh.name;
    tinygltf::Value::Array groups;
    for (const std::unique_ptr<FaceGroup>& group : mesh.faceGroups) {
        if (!group->material)
            continue;
        const MaterialInfo& info = materials_[group->materialIndex];
        tinygltf::Value::Object entry;
        entry["material"] = tinygltf::Value(info.gltf);
        entry["primitive"] = tinygltf::Value(-1);
        tinygltf::Primitive primitive;
        std::vector<int> corners; // vertex indices, in drawing order
        std::vector<std::array<float, 2>> cornerCoordinates;
        const bool lines = groupCorners(*group, info, primitive, corners, cornerCoordinates);
        if (corners.empty()) {
            // Drawn as nothing, but the player still takes up the group's material.
            groups.push_back(tinygltf::Value(entry));
            continue;
        }
        const bool textured = !lines && model_.materials[info.gltf].pbrMetallicRoughness.baseColorTexture.index >= 0;
        addVertices(mesh, corners, textured ? &cornerCoordinates : nullptr, lines, firstTarget, primitive);
        entry["primitive"] = tinygltf::Value(static_cast<int>(gltf.primitives.size()));
        groups.push_back(tinygltf::Value(entry));
        gltf.primitives.push_back(primitive);
    }
    exported_[at].extras["groups"] = tinygltf::Value(groups);
    if (gltf.primitives.empty())
        return;
    if (keyCount > 1) {
        exported_[at].weights = keyCount - firstTarget;
        exported_[at].firstTarget = firstTarget;
        gltf.weights.assign(exported_[at].weights, 0.0);
        makeBasis(mesh.morphTrack, exported_[at].basis);
    }
    model_.meshes.push_back(gltf);
    const int index = static_cast<int>(model_.meshes.size()) - 1;
    if (mesh.visibilityTrack.keys.size() > 1) {
        // Hiding a mesh hides its geometry, not its children: the geometry sits on a
        // child that is scaled to nothing while the mesh is hidden.
        const int shown = addNode(GltfNames::shown(mesh.name));
        model_.nodes[shown].mesh = index;
        model_.nodes[exported_[at].gltf].children.push_back(shown);
        exported_[at].shown = shown;
        hideable_.push_back(mesh.name);
    } else {
        model_.nodes[exported_[at].gltf].mesh = index;
    }
}

bool Exporter::groupCorners(const FaceGroup& group, const MaterialInfo& info, tinygltf::Primitive& primitive,
                            std::vector<int>& corners, std::vector<std::array<float, 2>>& cornerCoordinates)
{
    const bool lines = info.kind == Material::plainKind;
    if (lines) {
        // Lines join corners two by two across the group's faces.
        primitive.mode = TINYGLTF_MODE_LINE;
        primitive.material = linesMaterial();
        for (const Face& face : group.faces)
            for (const FaceCorner& corner : face.corners)
                corners.push_back(corner.vertex);
        corners.resize(corners.size() / 2 * 2);
    } else {
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.material = info.gltf;
        // A sphere-mapped surface is drawn with front faces culled: the glTF turns
        // its triangles round so that the same side shows.
        const bool flip = info.kind == Material::environmentKind && group.material->alpha() >= 1.0f;
        if (flip)
            primitive.extras = taldrexExtras({{"turned", tinygltf::Value(true)}});
        for (const Face& face : group.faces) {
            const int order[3] = {0, flip ? 2 : 1, flip ? 1 : 2};
            for (int k : order) {
                const FaceCorner& corner = face.corners[k];
                corners.push_back(corner.vertex);
                cornerCoordinates.push_back({corner.s, info.jpeg ? 1.0f - corner.t : corner.t});
            }
        }
    }
    return lines;
}

void Exporter::addVertices(MeshNode& mesh, const std::vector<int>& corners,
                           const std::vector<std::array<float, 2>>* cornerCoordinates, bool lines, int firstTarget,
                           tinygltf::Primitive& primitive)
{
    const Vector3Array& base = mesh.vertices;
    const int keyCount = mesh.morphs() ? mesh.morphTrack.keys.size() : 0;
    std::map<std::tuple<int, float, float>, uint32_t> shared;
    std::vector<int> vertexOf; // the player vertex of each glTF vertex
    std::vector<float> texcoords;
    std::vector<uint32_t> indices;
    for (size_t c = 0; c < corners.size(); ++c) {
        const float s = cornerCoordinates ? (*cornerCoordinates)[c][0] : 0.0f;
        const float t = cornerCoordinates ? (*cornerCoordinates)[c][1] : 0.0f;
        auto found = shared.emplace(std::make_tuple(corners[c], s, t), uint32_t(vertexOf.size()));
        if (found.second) {
            vertexOf.push_back(corners[c]);
            texcoords.insert(texcoords.end(), {s, t});
        }
        indices.push_back(found.first->second);
    }
    std::vector<float> positions, normals;
    for (int v : vertexOf) {
        push(positions, ToGltfAxes(base[v]));
        Vector3 normal = ToGltfAxes(mesh.normals[v]);
        // A vertex no face uses has no normal; it is never drawn.
        if (!(std::fabs(std::sqrt(dot(normal, normal)) - 1.0f) < 1e-3f))
            normal = Vector3(0.0f, 1.0f, 0.0f);
        push(normals, normalised(normal));
    }
    primitive.attributes["POSITION"] = addFloats(positions, 3, true, TINYGLTF_TARGET_ARRAY_BUFFER);
    if (!lines)
        primitive.attributes["NORMAL"] = addFloats(normals, 3, false, TINYGLTF_TARGET_ARRAY_BUFFER);
    if (cornerCoordinates)
        primitive.attributes["TEXCOORD_0"] = addFloats(texcoords, 2, false, TINYGLTF_TARGET_ARRAY_BUFFER);
    primitive.indices = addIndices(indices);
    for (int k = firstTarget; k < keyCount; ++k) {
        const Vector3Array& shape = mesh.morphTrack.keys[k].positions;
        std::vector<float> offsets;
        for (int v : vertexOf)
            push(offsets, ToGltfAxes(shape[v]) - ToGltfAxes(base[v]));
        primitive.targets.push_back({{"POSITION", addFloats(offsets, 3, true, TINYGLTF_TARGET_ARRAY_BUFFER)}});
    }
}

void Exporter::makeBasis(const MorphTrack& track, MorphTrack& basis)
{
    const int n = track.keys.size();
    basis.keys.setSize(n);
    for (int k = 0; k < n; ++k) {
        const MorphKey& from = track.keys[k];
        MorphKey& key = basis.keys[k];
        key.frame = from.frame;
        key.tension = from.tension;
        key.continuity = from.continuity;
        key.bias = from.bias;
        key.easeTo = from.easeTo;
        key.easeFrom = from.easeFrom;
        key.positions.setSize(n);
        key.positions[k] = Vector3(1.0f, 0.0f, 0.0f);
    }
    basis.prepare();
}

} // namespace gltf_export

#include "graph/mesh_node.h"

#include "common/scene_reader.h"
#include "gpu/gl_context.h"
#include "gpu/renderer.h"
#include "render/render_mode.h"

#include <cmath>
#include <string>

namespace {

// Smallest records: a vertex, a face, a group without faces, a face index.
constexpr size_t vertexBytes = 12;
constexpr size_t faceBytes = 36;
constexpr size_t groupBytes = 8;
constexpr size_t faceIndexBytes = 4;

} // namespace

MeshNode::MeshNode(Node* parent_) : DrawableNode(NodeKind::Mesh, parent_) {}

MeshNode::~MeshNode()
{
    releaseDisplayList();
}

void MeshNode::load(SceneReader& reader)
{
    readName(reader);

    int32_t vertexCount = reader.readCount(vertexBytes, "vertices");
    vertices.setSize(vertexCount);
    normals.setSize(vertexCount);
    reader.readItems(vertices.data(), vertexBytes, static_cast<size_t>(vertexCount));

    // The face list only shapes the normals and is copied into the groups.
    faceCount = reader.readCount(faceBytes, "faces");
    const uint64_t facesAt = reader.offset();
    GrowableArray<Face> faces;
    faces.setSize(faceCount);
    reader.readItems(faces.data(), faceBytes, static_cast<size_t>(faceCount));
    GrowableArray<uint8_t> usable;
    usable.setSize(faceCount);
    droppedFaces = 0;
    int firstDropped = -1;
    for (int f = 0; f < faceCount; ++f) {
        bool inside = true;
        for (const FaceCorner& corner : faces[f].corners)
            inside = inside && corner.vertex >= 0 && corner.vertex < vertexCount;
        usable[f] = inside;
        if (!inside && droppedFaces++ == 0)
            firstDropped = f;
    }
    if (droppedFaces > 0 && !reader.failed())
        reader.note(facesAt + static_cast<uint64_t>(firstDropped) * faceBytes,
                    std::to_string(droppedFaces) + " of " + std::to_string(faceCount) +
                        " faces name a vertex outside the " + std::to_string(vertexCount) +
                        " vertices and are not drawn (the first is face " + std::to_string(firstDropped) + ")");
    computeNormals(faces, usable);
    readGroups(reader, faces, usable);

    positionTrack.read(reader);
    rotationTrack.read(reader);
    scaleTrack.read(reader);
    visibilityTrack.read(reader);
    morphTrack.read(reader);
    morphs_ = morphTrack.keys.size() > 0 && morphTrack.fits(vertices.size());
}

void MeshNode::computeNormals(const GrowableArray<Face>& faces, const GrowableArray<uint8_t>& usable)
{
    for (int f = 0; f < faces.size(); ++f) {
        if (!usable[f])
            continue;
        const FaceCorner* c = faces[f].corners;
        const Vector3& v0 = vertices[c[0].vertex];
        const Vector3& v1 = vertices[c[1].vertex];
        const Vector3& v2 = vertices[c[2].vertex];
        // Not normalised: each face weighs in proportion to its area.
        Vector3 n = cross(v0 - v1, v1 - v2);
        normals[c[0].vertex] += n;
        normals[c[1].vertex] += n;
        normals[c[2].vertex] += n;
    }
    for (Vector3& n : normals) {
        float length = std::sqrt(dot(n, n));
        if (length > 0.0f)
            n *= 1.0f / length;
    }
}

void MeshNode::readGroups(SceneReader& reader, const GrowableArray<Face>& faces,
                          const GrowableArray<uint8_t>& usable)
{
    int32_t groupCount = reader.readCount(groupBytes, "groups");
    faceGroups.setSize(groupCount);
    GrowableArray<int32_t> indices;
    skippedFaceIndices = 0;
    uint64_t firstSkippedAt = 0;
    for (int g = 0; g < groupCount; ++g) {
        if (reader.failed()) {
            // The groups the damaged data never reached are not made up.
            faceGroups.setSize(g);
            break;
        }
        auto group = std::make_unique<FaceGroup>();
        group->offset = reader.offset();
        reader.readInt32(group->materialIndex);
        int32_t k = reader.readCount(faceIndexBytes, "face indices");
        const uint64_t indicesAt = reader.offset();
        indices.setSize(k);
        reader.readItems(indices.data(), faceIndexBytes, static_cast<size_t>(k));
        group->faces.setSize(k);
        int kept = 0;
        for (int i = 0; i < k; ++i) {
            int32_t f = indices[i];
            if (f >= 0 && f < faces.size() && usable[f])
                group->faces[kept++] = faces[f];
            else if (skippedFaceIndices + (i - kept) == 0)
                firstSkippedAt = indicesAt + static_cast<uint64_t>(i) * faceIndexBytes;
        }
        group->faces.setSize(kept);
        skippedFaceIndices += k - kept;
        faceGroups[g] = std::move(group);
    }
    if (skippedFaceIndices > 0 && !reader.failed())
        reader.note(firstSkippedAt, std::to_string(skippedFaceIndices) +
                                        " face indices of its groups name no face, or a dropped one, and are skipped");
}

void MeshNode::prepare()
{
    if (morphs_)
        morphTrack.prepare();
    positionTrack.prepare();
    rotationTrack.prepare();
    scaleTrack.prepare();
}

bool MeshNode::evaluate(float time, bool checkVisibility)
{
    if (checkVisibility && !visibilityTrack.evaluate(time))
        return false;
    evalTime = time;
    composeMatrix(time, rotationTrack, scaleTrack);
    return true;
}

void MeshNode::bindMaterials(const GrowableArray<std::unique_ptr<Material>>& materials)
{
    for (std::unique_ptr<FaceGroup>& group : faceGroups) {
        int32_t index = group->materialIndex;
        group->material = index >= 0 && index < materials.size() ? materials[index].get() : nullptr;
    }
}

void MeshNode::bindRenderModes(const GrowableArray<std::unique_ptr<RenderMode>>& renderModes)
{
    for (std::unique_ptr<FaceGroup>& group : faceGroups) {
        int32_t index = group->materialIndex;
        group->renderMode = index >= 0 && index < renderModes.size() ? renderModes[index].get() : nullptr;
        if (group->renderMode && group->renderMode->alpha < 1.0f)
            transparent = true;
    }
}

void MeshNode::buildDisplayList()
{
    Renderer& r = ActiveRenderer();
    // A morphing mesh sends its geometry every frame; a scene never uploaded (the
    // inspector) leaves static meshes to draw directly.
    if (morphs_ || !GlContextIsCurrent())
        return;
    if (!listBuilt) {
        displayList = r.newStored();
        if (displayList == 0)
            return;
    }
    r.beginStoring(displayList);
    drawGroups(vertices);
    r.endStoring();
    listBuilt = true;
    listContext_ = CurrentGlContext();
}

void MeshNode::releaseDisplayList()
{
    Renderer& r = ActiveRenderer();
    if (!listBuilt || !listContext_ || listContext_ != CurrentGlContext())
        return;
    r.deleteStored(displayList);
    displayList = 0;
    listBuilt = false;
    listContext_ = nullptr;
}

void MeshNode::render()
{
    Renderer& r = ActiveRenderer();
    if (!visibilityTrack.visible)
        return;
    if (listBuilt)
        r.drawStored(displayList);
    else
        drawGroups(currentVertices());
}

void MeshNode::drawGroups(const Vector3Array& positions) const
{
    for (const std::unique_ptr<FaceGroup>& group : faceGroups)
        if (group->renderMode)
            group->renderMode->draw(positions, group->faces, normals);
}

const Vector3Array& MeshNode::currentVertices()
{
    return morphs_ ? morphTrack.evaluate(evalTime, vertices) : vertices;
}

// MeshNode: a triangle mesh with an animated transform, surface groups and a morph track.
#pragma once

#include "common/growable_array.h"
#include "graph/drawable_node.h"
#include "scene/morph_track.h"
#include "scene/vector3_array.h"

#include <cstdint>
#include <memory>

class Material;

// One corner of a triangle: a vertex index and its texture coordinates.
struct FaceCorner {
    int32_t vertex;
    float s;
    float t;
};

struct Face {
    FaceCorner corners[3];
};

static_assert(sizeof(Face) == 36, "faces are read straight from their 36-byte records");

// Faces that share a material.
struct FaceGroup {
    int32_t materialIndex = 0;
    GrowableArray<Face> faces; // copies of the record's faces, in the order the group names them
    // The material at materialIndex, set by bindMaterials; null when the index names none.
    const Material* material = nullptr;
};

class MeshNode : public DrawableNode {
public:
    explicit MeshNode(Node* parent);

    // Reads the vertices, faces (computing the vertex normals), groups and the position,
    // rotation, scale, visibility and morph tracks. A face naming a vertex outside the
    // vertex list is dropped; a group's face index outside the face list is skipped.
    void load(SceneReader& reader) override;
    // Prepares the morph track (when the mesh morphs), then the position, rotation and
    // scale tracks.
    void prepare() override;
    // Unless hidden by the visibility check, remembers the time for the morph track and
    // composes the matrix.
    bool evaluate(float time, bool checkVisibility) override;

    // Binds every group to its material and marks the mesh transparent when any bound
    // material is translucent (alpha below 1).
    void bindMaterials(const GrowableArray<std::unique_ptr<Material>>& materials);
    // Whether the mesh draws from its morph track: it has keys and every key holds exactly
    // one position per static vertex (otherwise the mesh stays static).
    bool morphs() const { return morphs_; }
    // The vertex positions of the last visible evaluation: the morph track at evalTime for a
    // morphing mesh, the static vertices otherwise. Allocates nothing.
    const Vector3Array& currentVertices();

    bool transparent = false;
    float evalTime = 0.0f;
    Vector3Array vertices;
    MorphTrack morphTrack;
    Vector3Array normals; // unit length, or zero for a vertex no face uses
    GrowableArray<std::unique_ptr<FaceGroup>> faceGroups;
    RotationTrack rotationTrack;
    VectorTrack scaleTrack{Vector3(1.0f, 1.0f, 1.0f)};

    // What the record held beyond what is kept, so authors can see damaged meshes.
    int32_t faceCount = 0;         // faces in the record
    int32_t droppedFaces = 0;      // faces naming a vertex outside the vertex list
    int32_t skippedFaceIndices = 0; // group entries naming no usable face

private:
    void computeNormals(const GrowableArray<Face>& faces, const GrowableArray<uint8_t>& usable);
    void readGroups(SceneReader& reader, const GrowableArray<Face>& faces,
                    const GrowableArray<uint8_t>& usable);

    bool morphs_ = false;
};

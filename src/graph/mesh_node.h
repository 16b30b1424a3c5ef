// MeshNode: a triangle mesh with an animated transform, surface groups and a morph track.
#pragma once

#include "anim/morph_track.h"
#include "common/face.h"
#include "common/growable_array.h"
#include "common/vector3_array.h"
#include "graph/drawable_node.h"

#include <cstdint>
#include <memory>

class Material;
class RenderMode;

// Faces that share a material.
struct FaceGroup {
    // Where the group's record starts in the scene file (its material index).
    uint64_t offset = 0;
    int32_t materialIndex = 0;
    GrowableArray<Face> faces; // copies of the record's faces, in the order the group names them
    // The material at materialIndex, set by bindMaterials; null when the index names none.
    const Material* material = nullptr;
    // The scene's render mode at materialIndex, set by bindRenderModes; null when the index
    // names none, and then the group draws nothing.
    const RenderMode* renderMode = nullptr;
};

class MeshNode : public DrawableNode {
public:
    explicit MeshNode(Node* parent);
    // Deletes the display list when the context that compiled it is current (at process
    // end it may be gone already, and with it the list).
    ~MeshNode() override;

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

    // Binds every group to its material (what the group is made of, for inspection).
    void bindMaterials(const GrowableArray<std::unique_ptr<Material>>& materials);
    // Binds every group to the render mode at its material index and marks the whole mesh
    // transparent when any of them is translucent (alpha below 1). Makes no OpenGL call.
    void bindRenderModes(const GrowableArray<std::unique_ptr<RenderMode>>& renderModes);
    // For a mesh that does not morph, compiles the groups into a display list in the current
    // context (into the same list again when one is built). Does nothing without a current
    // context, or when no list name is left: the mesh then draws directly.
    void buildDisplayList();
    // Deletes the display list, after which the mesh draws directly. Does nothing when no
    // list is built or the context that compiled it is not current.
    void releaseDisplayList();
    // Draws the groups in order under the current matrix, unless the visibility track left
    // the mesh hidden: the display list, else the static vertices, else the morph track's
    // positions at evalTime (with the static vertices' normals). Allocates nothing.
    void render() override;
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
    // The compiled groups of a static mesh; valid while listBuilt is set.
    uint32_t displayList = 0;
    bool listBuilt = false;

    // What the record held beyond what is kept, so authors can see damaged meshes.
    int32_t faceCount = 0;         // faces in the record
    int32_t droppedFaces = 0;      // faces naming a vertex outside the vertex list
    int32_t skippedFaceIndices = 0; // group entries naming no usable face

private:
    void computeNormals(const GrowableArray<Face>& faces, const GrowableArray<uint8_t>& usable);
    void readGroups(SceneReader& reader, const GrowableArray<Face>& faces,
                    const GrowableArray<uint8_t>& usable);
    void drawGroups(const Vector3Array& positions) const;

    bool morphs_ = false;
    // The context the display list was compiled in.
    const void* listContext_ = nullptr;
};

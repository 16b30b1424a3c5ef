// Scene: one loaded scene file, the root of its node tree, with its materials and camera.
#pragma once

#include "common/growable_array.h"
#include "common/scene_reader.h"
#include "graph/node.h"
#include "render/render_mode.h"
#include "scene/material.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CameraNode;
class MeshNode;

// Node trees nest at most this deep; deeper data is treated as damaged.
constexpr int maxNodeDepth = 256;

class Scene : public Node {
public:
    Scene();
    ~Scene() override;

    // Reads the scene file at path in folder, then binds materials (each map to the texture textures
    // finds for it now), links targets and prepares the tracks. Makes no OpenGL call, with
    // or without a current context (see upload). Returns 0 when the file
    // could be opened, whatever its contents (damaged data stops the reading; what was read
    // stays, see reader->failedOffset()), and 1 when it could not, leaving the scene empty.
    int loadFile(const char* path, const TextureLookup& textures = TextureLookup(),
                 const DataFolder& folder = DataFolder());
    // Reads a scene file's bytes from memory, like loadFile after a successful open.
    void loadMemory(const void* data, size_t size, const TextureLookup& textures = TextureLookup());

    // Gives the render modes the OpenGL names their texture entries hold now (the first
    // upload only: the entries are not read again), then compiles the display lists of the
    // meshes that do not morph into the current context, in pre-order. Without a current
    // context no list is made, and every mesh draws directly.
    void upload();
    // Deletes the display lists upload made, while their context is current; the meshes then
    // draw directly. Destroying the scene does the same.
    void release();

    // The scene is only a container: its own node operations do nothing.
    void load(SceneReader&) override {}
    void prepare() override {}
    bool evaluate(float, bool) override { return false; }

    // The evaluation pass of a frame: every node below the scene, in pre-order, with the
    // visibility check on (a hidden node's children are evaluated all the same).
    void evaluateNodes(float time);
    // Draws one frame at a demo time into the current context, whose depth buffer the
    // caller has cleared: the camera's projection, every node evaluated, the lights, then
    // the opaque meshes and after them the transparent ones. Leaves the model-view matrix
    // mode, depth test and depth writes on and its lights off. Draws nothing when camera is
    // not a camera node with a target, or sits on its target. Defined in scene_render.cpp
    // with the drawing passes.
    void renderFrame(float time);

    // The reader of the loaded file, closed once loading ends; its flag and failure offset
    // tell whether and where the data was damaged. Null before loading.
    std::unique_ptr<SceneReader> reader;
    GrowableArray<std::unique_ptr<Material>> materials;
    // One per material, at the material's index: how its faces are drawn.
    GrowableArray<std::unique_ptr<RenderMode>> renderModes;
    int32_t headerA = 0;
    int32_t headerB = 0;
    // The camera the scene is viewed through: the last camera in pre-order after loading,
    // then whatever the playback loop sets. A frame draws nothing while it is null, not a
    // camera node, or a camera without a target.
    CameraNode* camera = nullptr;
    // Light nodes read from the file; any at all turns lighting on for the scene's frames.
    int32_t lightCount = 0;
    // OpenGL lights switched on while the current frame is drawn.
    int32_t activeLights = 0;

private:
    void readScene(SceneReader& reader, const TextureLookup& textures);
    void readNodeList(SceneReader& reader, Node& parent, int32_t typeId, int depth);
    void readMaterials(SceneReader& reader, const TextureLookup& textures);
    std::unique_ptr<RenderMode> makeRenderMode(const Material& material, const TextureLookup& textures);
    // Appends the texture in entry (0 without one) to mode's, noting the entry for upload.
    void appendTexture(RenderMode& mode, const uint32_t* entry);
    void bindMaterials(Node& node);
    // Notes the groups of mesh whose material index names no material (they draw nothing).
    void noteUnboundGroups(const MeshNode& mesh);
    void linkTargets(Node& node);
    // Builds (or with build false, releases) the display lists of the meshes below node.
    static void uploadSubtree(Node& node, bool build);
    void prepareTracks(Node& node);
    void evaluateSubtree(Node& node, float time);

    // A texture entry found at load, read again at the first upload.
    struct TextureEntry {
        RenderMode* mode;
        int index; // in mode->textures
        const uint32_t* entry;
    };
    std::vector<TextureEntry> textureEntries_;
};

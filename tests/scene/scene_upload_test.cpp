// Loading a scene makes no OpenGL object, with or without a context: its display lists are
// made when it is uploaded to a context and freed when it is released from it.
#include "gpu/gl.h"
#include "graph/mesh_node.h"
#include "render/render_mode.h"
#include "scene/scene.h"
#include "scene_writer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The texture names and display lists alive in the current context, found by asking about
// every name up to a bound far above what the test makes.
struct GlObjects {
    int textures = 0;
    int lists = 0;
};

GlObjects liveObjects()
{
    GlObjects live;
    for (GLuint name = 1; name < 2000; ++name) {
        live.textures += glIsTexture(name) ? 1 : 0;
        live.lists += glIsList(name) ? 1 : 0;
    }
    return live;
}

// The meshes below node that do not morph, and how many of them hold a display list.
void countMeshes(const Node& node, int& still, int& listed)
{
    for (const std::unique_ptr<Node>& child : node.children) {
        if (child->kind == NodeKind::Mesh) {
            const auto& mesh = static_cast<const MeshNode&>(*child);
            still += mesh.morphs() ? 0 : 1;
            listed += mesh.listBuilt ? 1 : 0;
        }
        countMeshes(*child, still, listed);
    }
}

// A textured scene of one still and one morphing mesh.
std::string texturedScene()
{
    SceneSpec spec;
    NodeSpec still = makeNode(NodeType::Mesh, "still");
    still.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    still.faces.push_back({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}});
    still.groups = {{0, {0}}};
    NodeSpec blob = still;
    blob.name = "blob";
    blob.morph.keys = {{0, still.vertices}, {10, still.vertices}};
    spec.nodes = {still, blob};
    MaterialSpec skin;
    skin.name = "skin";
    skin.maps[1] = {1.0f, "Maps\\Skin.bmp"};
    spec.materials.push_back(skin);
    return writeScene(spec);
}

// Every scene of the bundled show, then the textured scene, loaded with textures.
std::vector<std::unique_ptr<Scene>> loadScenes(const TextureLookup& textures)
{
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TALDREX_BINARY_DIR) + "/show/data"))
        if (entry.path().extension() == ".scn")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    EXPECT_GE(paths.size(), 6u);
    std::vector<std::unique_ptr<Scene>> scenes;
    for (const std::string& path : paths) {
        scenes.push_back(std::make_unique<Scene>());
        EXPECT_EQ(scenes.back()->loadFile(path.c_str(), textures), 0) << path;
    }
    const std::string bytes = texturedScene();
    scenes.push_back(std::make_unique<Scene>());
    scenes.back()->loadMemory(bytes.data(), bytes.size(), textures);
    return scenes;
}

} // namespace

TEST(SceneUpload, LoadingMakesNoOpenGLObjectUploadMakesTheListsAndReleaseFreesThem)
{
    Registry<uint32_t> registry;
    registry.store("skin.jpg", 7);
    const TextureLookup textures = RegistryTextureLookup(registry);

    // Loaded before any context exists, then with one current: neither load may make anything.
    std::vector<std::unique_ptr<Scene>> loadedBefore = loadScenes(textures);
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    const GlObjects empty = liveObjects();
    std::vector<std::unique_ptr<Scene>> loadedWithContext = loadScenes(textures);
    EXPECT_EQ(liveObjects().lists, empty.lists);
    EXPECT_EQ(liveObjects().textures, empty.textures);
    // The texture is made after the scenes are read: its entry gets its name then.
    registry.store("skin.jpg", 9);

    for (auto* scenes : {&loadedBefore, &loadedWithContext}) {
        SCOPED_TRACE(scenes == &loadedBefore ? "loaded before any context" : "loaded with a context current");
        int still = 0;
        int listed = 0;
        for (const std::unique_ptr<Scene>& scene : *scenes)
            countMeshes(*scene, still, listed);
        EXPECT_EQ(listed, 0);
        // The map's entry was found at load; the upload reads its name and makes no texture.
        const Scene& textured = *scenes->back();
        ASSERT_EQ(textured.renderModes.size(), 1);
        EXPECT_EQ(textured.renderModes[0]->textures[0], 7);

        // A second upload compiles into the lists the first made.
        for (int pass = 0; pass < 2; ++pass)
            for (const std::unique_ptr<Scene>& scene : *scenes)
                scene->upload();
        listed = 0;
        int ignored = 0;
        for (const std::unique_ptr<Scene>& scene : *scenes)
            countMeshes(*scene, ignored, listed);
        EXPECT_EQ(listed, still);
        EXPECT_EQ(liveObjects().lists - empty.lists, still);
        EXPECT_EQ(liveObjects().textures, empty.textures);
        EXPECT_EQ(textured.renderModes[0]->textures[0], 9);

        for (const std::unique_ptr<Scene>& scene : *scenes)
            scene->release();
        EXPECT_EQ(liveObjects().lists, empty.lists);
        listed = 0;
        for (const std::unique_ptr<Scene>& scene : *scenes)
            countMeshes(*scene, ignored, listed);
        EXPECT_EQ(listed, 0);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

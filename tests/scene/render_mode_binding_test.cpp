// Materials choose their render modes and resolve their texture maps through the lookup the
// scene is loaded with; loading needs no OpenGL context.
#include "graph/mesh_node.h"
#include "render/dual_map_mode.h"
#include "render/line_mode.h"
#include "render/sphere_map_mode.h"
#include "render/texture_mode.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

namespace {

MaterialSpec material(std::initializer_list<std::pair<int, MaterialMapSpec>> maps)
{
    MaterialSpec spec;
    spec.name = "m";
    for (const auto& [slot, map] : maps)
        spec.maps[slot] = map;
    return spec;
}

// The textures a mode was given, as a plain list.
std::vector<int32_t> texturesOf(const RenderMode& mode)
{
    return std::vector<int32_t>(mode.textures.begin(), mode.textures.end());
}

class RenderModeBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry.store("skin.jpg", 11);
        registry.store("env.jpg", 12);
        registry.store("chrome.png", 13);
        registry.store("both.jpg", 14);
        registry.store("both.png", 15);
        registry.store("old.bmp", 16);
    }
    Registry<uint32_t> registry;
    TextureLookup textures = RegistryTextureLookup(registry);
};

} // namespace

TEST_F(RenderModeBinding, EveryMaterialGetsItsModeInOrderWithTexturesAndAlpha)
{
    SceneSpec spec;
    spec.materials.push_back(material({}));
    spec.materials.push_back(material({{1, {0.5f, "Maps\\Skin.BMP"}}}));
    spec.materials.push_back(material({{9, {1.0f, "ENV.JPG"}}}));
    spec.materials.push_back(material({{1, {1.0f, "skin.jpg"}}, {9, {0.25f, "chrome.jpg"}}}));
    spec.materials.push_back(material({{8, {1.0f, "skin.jpg"}}}));
    spec.materials.push_back(material({{8, {1.0f, "skin.jpg"}}, {9, {0.75f, "env.jpg"}}}));
    MaterialSpec unused = material({});
    for (int slot : {0, 2, 3, 4, 5, 6, 7, 10})
        unused.maps[slot] = {0.3f, "skin.jpg"};
    spec.materials.push_back(unused);
    std::string bytes = writeScene(spec);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size(), textures);
    ASSERT_EQ(scene.materials.size(), 7);
    ASSERT_EQ(scene.renderModes.size(), scene.materials.size());

    const RenderMode& plain = *scene.renderModes[0];
    EXPECT_NE(dynamic_cast<const LineMode*>(&plain), nullptr);
    EXPECT_TRUE(texturesOf(plain).empty());
    EXPECT_EQ(plain.alpha, 1.0f);

    const RenderMode& skin = *scene.renderModes[1];
    EXPECT_NE(dynamic_cast<const TextureMode*>(&skin), nullptr);
    EXPECT_EQ(texturesOf(skin), std::vector<int32_t>{11}); // folder, capitals and .bmp
    EXPECT_EQ(skin.alpha, 0.5f);

    const RenderMode& env = *scene.renderModes[2];
    EXPECT_NE(dynamic_cast<const SphereMapMode*>(&env), nullptr);
    EXPECT_EQ(texturesOf(env), std::vector<int32_t>{12});
    EXPECT_EQ(env.alpha, 1.0f);

    const RenderMode& dual = *scene.renderModes[3];
    EXPECT_NE(dynamic_cast<const DualMapMode*>(&dual), nullptr);
    EXPECT_EQ(texturesOf(dual), (std::vector<int32_t>{11, 13})); // slot 1, then slot 9 (.jpg -> .png)
    EXPECT_EQ(dual.alpha, 1.0f);                                  // slot 1's amount, not slot 9's

    // The undrawable slot is ignored when the mode is chosen.
    EXPECT_NE(dynamic_cast<const LineMode*>(scene.renderModes[4].get()), nullptr);
    EXPECT_TRUE(texturesOf(*scene.renderModes[4]).empty());
    const RenderMode& undrawableEnv = *scene.renderModes[5];
    EXPECT_NE(dynamic_cast<const SphereMapMode*>(&undrawableEnv), nullptr);
    EXPECT_EQ(texturesOf(undrawableEnv), std::vector<int32_t>{12});
    EXPECT_EQ(undrawableEnv.alpha, 0.75f);

    EXPECT_NE(dynamic_cast<const LineMode*>(scene.renderModes[6].get()), nullptr);
    EXPECT_TRUE(texturesOf(*scene.renderModes[6]).empty());
}

TEST_F(RenderModeBinding, MapTexturesResolveThroughTheBaseNameJpgFirstThenPng)
{
    EXPECT_EQ((MaterialMap{"C:\\Art\\Maps\\SKIN.Jpg", 1.0f}.lookupMapTexture(textures)), 11);
    EXPECT_EQ((MaterialMap{"both.bmp", 1.0f}.lookupMapTexture(textures)), 14);   // .jpg before .png
    EXPECT_EQ((MaterialMap{"Chrome.BMP", 1.0f}.lookupMapTexture(textures)), 13); // .png when no .jpg
    EXPECT_EQ((MaterialMap{"both.jpg", 1.0f}.lookupMapTexture(textures)), 14);
    EXPECT_EQ((MaterialMap{"chrome.jpg", 1.0f}.lookupMapTexture(textures)), 13);
    // A registered .bmp name is never matched: the map's .bmp is read as .jpg.
    EXPECT_EQ((MaterialMap{"old.bmp", 1.0f}.lookupMapTexture(textures)), 0);
    EXPECT_EQ((MaterialMap{"missing.jpg", 1.0f}.lookupMapTexture(textures)), 0);
    EXPECT_EQ((MaterialMap{"maps/skin.jpg", 1.0f}.lookupMapTexture(textures)), 0); // only backslashes split
    // Loaded without a lookup (the tools), a scene finds no texture at all.
    EXPECT_EQ((MaterialMap{"skin.jpg", 1.0f}.lookupMapTexture(TextureLookup())), 0);
}

TEST_F(RenderModeBinding, MeshesBindModesWithoutAnOpenGLContext)
{
    SceneSpec spec;
    NodeSpec mesh = makeNode(NodeType::Mesh, "mesh");
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces.push_back({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}});
    mesh.groups = {{0, {0}}, {1, {0}}, {5, {0}}};
    spec.nodes.push_back(mesh);
    spec.materials.push_back(material({}));
    spec.materials.push_back(material({{1, {0.5f, "skin.jpg"}}}));
    std::string bytes = writeScene(spec);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    auto& loaded = static_cast<MeshNode&>(*scene.children[0]);
    EXPECT_EQ(loaded.faceGroups[0]->renderMode, scene.renderModes[0].get());
    EXPECT_EQ(loaded.faceGroups[1]->renderMode, scene.renderModes[1].get());
    EXPECT_EQ(loaded.faceGroups[2]->renderMode, nullptr); // no such material: draws nothing
    EXPECT_TRUE(loaded.transparent);                      // one translucent group marks it all
    EXPECT_FALSE(loaded.listBuilt);                       // nothing to compile into
}

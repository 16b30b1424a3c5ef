// Scenes for drawing tests: cameras with targets, square meshes, materials and textures,
// loaded while an off-screen context is current and drawn into a 16:9 band.
#pragma once

#include "common/registry.h"
#include "gpu/gl.h"
#include "gpu/renderer.h"
#include "scene/scene.h"
#include "scene/scene_render.h"
#include "scene_writer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace draw {

constexpr int bandWidth = 160;
constexpr int bandHeight = 90;
// tan(30 degrees): half the field of view makeNode gives cameras.
constexpr double tanHalfFov = 0.57735026918962576;

// A camera at eye and its same-named target at centre, appended to nodes in that order.
inline void addCamera(std::vector<NodeSpec>& nodes, const std::string& name, Vector3 eye, Vector3 centre,
                      float roll = 0.0f)
{
    NodeSpec camera = makeNode(NodeType::Camera, name, eye);
    camera.roll.keys = {{0, roll}};
    nodes.push_back(camera);
    nodes.push_back(makeNode(NodeType::Target, name, centre));
}

// A square mesh of half size `half` around centre, spanned by the unit axes right and up,
// facing right x up (front-facing to a viewer who sees right to the right and up upwards),
// in one group of the given material. twoSided adds the same faces wound the other way.
inline NodeSpec square(const std::string& name, Vector3 centre, Vector3 right, Vector3 up, float half,
                       int32_t material = 0, bool twoSided = false)
{
    NodeSpec mesh = makeNode(NodeType::Mesh, name, centre);
    Vector3 r = right * half;
    Vector3 u = up * half;
    mesh.vertices = {Vector3() - r - u, r - u, r + u, u - r};
    mesh.faces = {{{{0, 0, 0}, {1, 1, 0}, {2, 1, 1}}}, {{{0, 0, 0}, {2, 1, 1}, {3, 0, 1}}}};
    if (twoSided) {
        mesh.faces.push_back({{{0, 0, 0}, {2, 1, 1}, {1, 1, 0}}});
        mesh.faces.push_back({{{0, 0, 0}, {3, 0, 1}, {2, 1, 1}}});
    }
    GroupSpec group{material, {}};
    for (int32_t f = 0; f < static_cast<int32_t>(mesh.faces.size()); ++f)
        group.faces.push_back(f);
    mesh.groups = {group};
    return mesh;
}

// A material drawn by the texture mode with the texture registered as file (none: white).
inline MaterialSpec surface(float alpha, const std::string& file = "untextured.jpg")
{
    MaterialSpec material;
    material.name = file;
    material.maps[1] = {alpha, file};
    return material;
}

// The five materials of a scene drawn by every mode: 0 lines, 1 textured with skin.jpg, 2 a
// sphere map of sphereMap, 3 both (skin.jpg and chrome.jpg), 4 skin.jpg translucent at 0.3.
inline void addEveryModeMaterials(SceneSpec& spec, const std::string& sphereMap)
{
    spec.materials.push_back(MaterialSpec{});
    spec.materials.push_back(surface(1.0f, "skin.jpg"));
    MaterialSpec sphere;
    sphere.maps[9] = {1.0f, sphereMap};
    spec.materials.push_back(sphere);
    MaterialSpec both;
    both.maps[1] = {1.0f, "skin.jpg"};
    both.maps[9] = {1.0f, "chrome.jpg"};
    spec.materials.push_back(both);
    spec.materials.push_back(surface(0.3f, "skin.jpg"));
}

// The textures the scenes of these tests find, by name.
inline Registry<GLuint> TestTextures;

// Registers a 1 x 1 texture of one colour under name in TestTextures.
inline GLuint registerTexture(const std::string& name, uint8_t r, uint8_t g, uint8_t b)
{
    const uint8_t texel[3] = {r, g, b};
    Renderer& renderer = ActiveRenderer();
    GLuint texture = renderer.genTexture();
    renderer.bindTexture(texture);
    renderer.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    renderer.texParameteri(GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    renderer.texParameteri(GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    renderer.texImage2D(GL_RGB, 1, 1, GL_RGB, texel);
    renderer.bindTexture(0);
    TestTextures.store(name, texture);
    return texture;
}

// Loads spec into a new scene and uploads it, as the show does (display lists go to the
// current context).
inline std::unique_ptr<Scene> load(const SceneSpec& spec)
{
    std::string bytes = writeScene(spec);
    auto scene = std::make_unique<Scene>();
    scene->loadMemory(bytes.data(), bytes.size(), RegistryTextureLookup(TestTextures));
    EXPECT_FALSE(scene->reader->failed());
    scene->upload();
    return scene;
}

// Where a point at (x right, y up) in the plane of the target shows, in band pixels, for a
// camera distance away with the 60 degree field of view of makeNode.
inline int pixelX(float x, float distance, int width = bandWidth)
{
    double ndc = x / (distance * tanHalfFov * (83.0 / 65.0));
    return static_cast<int>((ndc + 1.0) / 2.0 * width);
}
inline int pixelY(float y, float distance, int height = bandHeight)
{
    double ndc = y / (distance * tanHalfFov);
    return static_cast<int>((ndc + 1.0) / 2.0 * height);
}

// A context of the band's size with the depth test the show's window sets up.
class DrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL(gl);
        ActiveRenderer().clearColor(0, 0, 0, 0);
        ActiveRenderer().depthFunc(GL_LEQUAL);
    }
    void TearDown() override { TestTextures.clear(); }

    // The frame at time, with the GL error state checked after it.
    void frame(Scene& scene, float time = 0.0f)
    {
        RenderSceneAt(scene, time, bandWidth, bandHeight);
        EXPECT_EQ(ActiveRenderer().takeError(), GLenum(GL_NO_ERROR));
    }
    uint32_t rgb(int x, int y) const { return gl.pixel(x, y) >> 8; }
    // Whether the fixed-function pipeline draws, so that its state may be asked for.
    static bool fixedFunction() { return ActiveRenderer().kind() == RendererKind::Gl; }

    GlTestContext gl{bandWidth, bandHeight};
};

} // namespace draw

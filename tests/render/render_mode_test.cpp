// Render modes on a live context: the state each leaves behind, translucency, culling order,
// texture coordinates and the white lines.
#include "render/dual_map_mode.h"
#include "render/line_mode.h"
#include "render/sphere_map_mode.h"
#include "render/texture_mode.h"

#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

namespace {

constexpr int size = 64;

// The centre of pixel p (0 to size - 1) in normalised device coordinates.
float at(int p)
{
    return (static_cast<float>(p) + 0.5f) * 2.0f / size - 1.0f;
}

// Triangles in device coordinates, every corner its own vertex, normals facing the viewer.
struct Geometry {
    Vector3Array vertices;
    Vector3Array normals;
    GrowableArray<Face> faces;

    Geometry& triangle(Vector3 a, Vector3 b, Vector3 c, float s = 0.0f, float t = 0.0f)
    {
        Face face;
        const Vector3 corners[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            face.corners[i] = {vertices.size(), s, t};
            vertices.append(corners[i]);
            normals.append(Vector3(0, 0, 1));
        }
        faces.append(face);
        return *this;
    }
    // A counter-clockwise (front-facing) triangle covering the middle of the picture.
    Geometry& front(float s = 0.0f, float t = 0.0f)
    {
        return triangle({-0.9f, -0.9f, 0}, {0.9f, -0.9f, 0}, {0, 0.9f, 0}, s, t);
    }
    // The same triangle wound clockwise (back-facing).
    Geometry& back(float s = 0.0f, float t = 0.0f)
    {
        return triangle({-0.9f, -0.9f, 0}, {0, 0.9f, 0}, {0.9f, -0.9f, 0}, s, t);
    }
};

// A texture of one row of RGB texels, sampled nearest.
GLuint rowTexture(std::initializer_list<uint8_t> rgb)
{
    std::vector<uint8_t> texels(rgb);
    Renderer& r = ActiveRenderer();
    GLuint name = r.genTexture();
    r.bindTexture(name);
    r.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    r.texParameteri(GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    r.texParameteri(GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    r.texImage2D(GL_RGB, static_cast<int>(texels.size() / 3), 1, GL_RGB, texels.data());
    r.bindTexture(0);
    return name;
}

template <typename Mode>
std::unique_ptr<Mode> makeMode(std::initializer_list<GLuint> textures, float alpha = 1.0f)
{
    auto mode = std::make_unique<Mode>();
    for (GLuint name : textures)
        mode->textures.append(static_cast<int32_t>(name));
    mode->alpha = alpha;
    return mode;
}

// The state the modes set and restore.
struct State {
    bool blend, cull, normalize, vertexArray, normalArray;
    bool texture[2], genS[2], genT[2];
    GLint depthMask, blendSrc, blendDst, cullMode, activeUnit;
    GLfloat colour[4];

    bool operator==(const State& o) const
    {
        return blend == o.blend && cull == o.cull && normalize == o.normalize && vertexArray == o.vertexArray &&
               normalArray == o.normalArray && texture[0] == o.texture[0] && texture[1] == o.texture[1] &&
               genS[0] == o.genS[0] && genS[1] == o.genS[1] && genT[0] == o.genT[0] && genT[1] == o.genT[1] &&
               depthMask == o.depthMask && blendSrc == o.blendSrc && blendDst == o.blendDst &&
               cullMode == o.cullMode && activeUnit == o.activeUnit && colour[0] == o.colour[0] &&
               colour[1] == o.colour[1] && colour[2] == o.colour[2] && colour[3] == o.colour[3];
    }
};

GLint integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

State readState()
{
    State s{};
    s.blend = glIsEnabled(GL_BLEND);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.normalize = glIsEnabled(GL_NORMALIZE);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    s.normalArray = glIsEnabled(GL_NORMAL_ARRAY);
    s.depthMask = integer(GL_DEPTH_WRITEMASK);
    s.blendSrc = integer(GL_BLEND_SRC);
    s.blendDst = integer(GL_BLEND_DST);
    s.cullMode = integer(GL_CULL_FACE_MODE);
    s.activeUnit = integer(GL_ACTIVE_TEXTURE_ARB);
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    for (int unit = 0; unit < 2; ++unit) {
        ext::glActiveTextureARB(GL_TEXTURE0_ARB + unit);
        s.texture[unit] = glIsEnabled(GL_TEXTURE_2D);
        s.genS[unit] = glIsEnabled(GL_TEXTURE_GEN_S);
        s.genT[unit] = glIsEnabled(GL_TEXTURE_GEN_T);
    }
    ext::glActiveTextureARB(static_cast<GLenum>(s.activeUnit));
    return s;
}

GLint texGenMode(int unit, GLenum coordinate)
{
    GLint active = integer(GL_ACTIVE_TEXTURE_ARB);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    GLint mode = -1;
    glGetTexGeniv(coordinate, GL_TEXTURE_GEN_MODE, &mode);
    ext::glActiveTextureARB(static_cast<GLenum>(active));
    return mode;
}

class RenderModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL(gl);
        r.matrixMode(GL_PROJECTION);
        r.loadIdentity();
        r.matrixMode(GL_MODELVIEW);
        r.loadIdentity();
        clear(0, 0, 0);
    }

    void clear(float red, float green, float blue)
    {
        ActiveRenderer().clearColor(red, green, blue, 0.0f);
        ActiveRenderer().clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // The middle pixel as 0xRRGGBB.
    uint32_t middle() const { return gl.pixel(size / 2, size / 2) >> 8; }

    GlTestContext gl{size, size};
    Renderer& r = ActiveRenderer();
};

} // namespace

TEST_F(RenderModeTest, FactoryBuildsOneEmptyModePerKnownKind)
{
    EXPECT_NE(dynamic_cast<LineMode*>(CreateRenderMode(1).get()), nullptr);
    EXPECT_NE(dynamic_cast<TextureMode*>(CreateRenderMode(8).get()), nullptr);
    EXPECT_NE(dynamic_cast<SphereMapMode*>(CreateRenderMode(16).get()), nullptr);
    EXPECT_NE(dynamic_cast<DualMapMode*>(CreateRenderMode(24).get()), nullptr);
    for (uint32_t kind : {0u, 2u, 9u, 64u, 72u, 88u, 0xffffffffu})
        EXPECT_EQ(CreateRenderMode(kind), nullptr) << kind;
    std::unique_ptr<RenderMode> lines = CreateRenderMode(1);
    EXPECT_EQ(lines->textures.size(), 0);
    EXPECT_EQ(lines->alpha, 1.0f); // such meshes stay in the opaque pass
}

TEST_F(RenderModeTest, EachModeLeavesExactlyItsStateOpaqueAndTranslucent)
{
    REQUIRE_FIXED_FUNCTION_STATE();
    GLuint texture = rowTexture({255, 255, 255});
    Geometry shape;
    shape.front();
    for (float alpha : {1.0f, 0.999f}) {
        SCOPED_TRACE(alpha);
        glDisable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ZERO);
        glCullFace(GL_BACK);
        glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
        bool translucent = alpha < 1.0f;
        // What every textured mode leaves: arrays off, culling off, depth writes on, blending
        // off, and, when translucent, the additive blend and the colour with the alpha.
        State common = readState();
        common.depthMask = GL_TRUE;
        if (translucent) {
            common.blendSrc = GL_SRC_ALPHA;
            common.blendDst = GL_ONE;
            common.colour[0] = common.colour[1] = common.colour[2] = 1.0f;
            common.colour[3] = alpha;
        }

        makeMode<TextureMode>({texture}, alpha)->draw(shape.vertices, shape.faces, shape.normals);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        State textured = common;
        textured.activeUnit = GL_TEXTURE0_ARB;
        EXPECT_EQ(readState(), textured);

        makeMode<SphereMapMode>({texture}, alpha)->draw(shape.vertices, shape.faces, shape.normals);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        State sphere = textured;
        sphere.cullMode = GL_FRONT; // the one setting it never restores
        EXPECT_EQ(readState(), sphere);
        EXPECT_EQ(texGenMode(0, GL_S), GL_SPHERE_MAP);
        EXPECT_EQ(texGenMode(0, GL_T), GL_SPHERE_MAP);

        glCullFace(GL_BACK);
        makeMode<DualMapMode>({texture, texture}, alpha)->draw(shape.vertices, shape.faces, shape.normals);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        State dual = textured;
        dual.activeUnit = GL_TEXTURE1_ARB; // left selected
        EXPECT_EQ(readState(), dual);
        EXPECT_EQ(texGenMode(1, GL_S), GL_SPHERE_MAP);
        EXPECT_EQ(texGenMode(1, GL_T), GL_SPHERE_MAP);
        ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    }
}

TEST_F(RenderModeTest, OpaqueModesLeaveBlendingAsTheyFoundItAndLinesTouchOnlyTheColour)
{
    REQUIRE_FIXED_FUNCTION_STATE();
    GLuint texture = rowTexture({255, 255, 255});
    Geometry shape;
    shape.front();
    glEnable(GL_BLEND);
    makeMode<TextureMode>({texture})->draw(shape.vertices, shape.faces, shape.normals);
    EXPECT_TRUE(glIsEnabled(GL_BLEND)); // only a translucent draw switches it off
    glDisable(GL_BLEND);

    glEnable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    State before = readState();
    LineMode().draw(shape.vertices, shape.faces, shape.normals);
    State after = readState();
    EXPECT_EQ(after.colour[0], 1.0f);
    EXPECT_EQ(after.colour[3], 1.0f);
    after.colour[0] = after.colour[1] = after.colour[2] = after.colour[3] = 0.0f;
    before.colour[0] = before.colour[1] = before.colour[2] = before.colour[3] = 0.0f;
    EXPECT_EQ(after, before);
    glDepthMask(GL_TRUE);
}

TEST_F(RenderModeTest, EmptyFaceListDrawsNothingButSetsAndRestoresTheState)
{
    REQUIRE_FIXED_FUNCTION_STATE();
    GLuint texture = rowTexture({255, 255, 255});
    Geometry none;
    Geometry shape;
    shape.front();
    for (float alpha : {1.0f, 0.5f}) {
        makeMode<DualMapMode>({texture, texture}, alpha)->draw(shape.vertices, shape.faces, shape.normals);
        State afterFaces = readState();
        ext::glActiveTextureARB(GL_TEXTURE0_ARB);
        clear(0, 0, 0);
        makeMode<DualMapMode>({texture, texture}, alpha)->draw(none.vertices, none.faces, none.normals);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_EQ(readState(), afterFaces);
        EXPECT_EQ(middle(), 0x000000u);

        makeMode<SphereMapMode>({texture}, alpha)->draw(none.vertices, none.faces, none.normals);
        EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
        EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
        glCullFace(GL_BACK);
    }
}

TEST_F(RenderModeTest, AlphaOneDrawsOpaqueAndJustBelowOneAddsWithoutDepthWrites)
{
    GLuint green = rowTexture({0, 100, 0});
    Geometry shape;
    shape.front();
    r.enable(GL_DEPTH_TEST);

    clear(0.5f, 0, 0);
    makeMode<TextureMode>({green}, 1.0f)->draw(shape.vertices, shape.faces, shape.normals);
    EXPECT_EQ(middle(), 0x006400u); // replaces the red background
    // Depth cannot be read back under OpenGL ES 2.0; the gl renderer shows what was written.
    const bool depthReadable = r.kind() == RendererKind::Gl;
    GLfloat depth = -1.0f;
    if (depthReadable) {
        glReadPixels(size / 2, size / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_LT(depth, 1.0f);
    }

    clear(0.5f, 0, 0);
    makeMode<TextureMode>({green}, 0.999f)->draw(shape.vertices, shape.faces, shape.normals);
    uint32_t added = middle();
    EXPECT_EQ(added >> 16, 0x80u);                // the red background stays: added to
    EXPECT_NEAR(int((added >> 8) & 0xff), 100, 1); // green scaled by 0.999
    if (depthReadable) {
        glReadPixels(size / 2, size / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_EQ(depth, 1.0f); // nothing written to the depth buffer
    }
    r.disable(GL_DEPTH_TEST);
}

TEST_F(RenderModeTest, OpaqueModesCullBackFacesUntilASphereMapChangesItToFront)
{
    GLuint white = rowTexture({255, 255, 255});
    Geometry front;
    front.front();
    Geometry back;
    back.back();
    std::unique_ptr<TextureMode> textured = makeMode<TextureMode>({white});
    std::unique_ptr<DualMapMode> dual = makeMode<DualMapMode>({white, white});

    textured->draw(front.vertices, front.faces, front.normals);
    EXPECT_EQ(middle(), 0xffffffu);
    clear(0, 0, 0);
    textured->draw(back.vertices, back.faces, back.normals);
    EXPECT_EQ(middle(), 0x000000u);
    // Translucent drawing switches culling off altogether.
    makeMode<TextureMode>({white}, 0.5f)->draw(back.vertices, back.faces, back.normals);
    EXPECT_EQ(middle(), 0x808080u);

    Geometry none;
    makeMode<SphereMapMode>({white})->draw(none.vertices, none.faces, none.normals);
    for (const RenderMode* mode : {static_cast<const RenderMode*>(textured.get()), static_cast<const RenderMode*>(dual.get())}) {
        clear(0, 0, 0);
        mode->draw(front.vertices, front.faces, front.normals);
        r.activeTexture(GL_TEXTURE0_ARB);
        EXPECT_EQ(middle(), 0x000000u);
        mode->draw(back.vertices, back.faces, back.normals);
        r.activeTexture(GL_TEXTURE0_ARB);
        EXPECT_EQ(middle(), 0xffffffu);
    }
}

TEST_F(RenderModeTest, TexturedModesUseTheFaceCoordinatesOnUnitZeroAndTheSphereMapModulates)
{
    GLuint redGreen = rowTexture({255, 0, 0, 0, 255, 0});
    GLuint grey = rowTexture({128, 128, 128});
    Geometry left;
    left.front(0.25f, 0.5f);
    Geometry right;
    right.front(0.75f, 0.5f);

    makeMode<TextureMode>({redGreen})->draw(left.vertices, left.faces, left.normals);
    EXPECT_EQ(middle(), 0xff0000u);
    makeMode<TextureMode>({redGreen})->draw(right.vertices, right.faces, right.normals);
    EXPECT_EQ(middle(), 0x00ff00u);

    makeMode<DualMapMode>({redGreen, grey})->draw(left.vertices, left.faces, left.normals);
    EXPECT_EQ(middle(), 0x800000u);
    makeMode<DualMapMode>({redGreen, grey})->draw(right.vertices, right.faces, right.normals);
    EXPECT_EQ(middle(), 0x008000u);
    r.activeTexture(GL_TEXTURE0_ARB);

    // The sphere map generates its own coordinates: the stored ones change nothing.
    clear(0, 0, 0);
    makeMode<SphereMapMode>({redGreen})->draw(left.vertices, left.faces, left.normals);
    std::vector<uint8_t> fromLeft = gl.readPixels();
    clear(0, 0, 0);
    makeMode<SphereMapMode>({redGreen})->draw(right.vertices, right.faces, right.normals);
    EXPECT_EQ(gl.readPixels(), fromLeft);
    r.cullFace(GL_BACK);
}

TEST_F(RenderModeTest, LinesJoinConsecutiveCornersAcrossFaces)
{
    GLuint texture = rowTexture({255, 0, 0});
    Geometry shape;
    // Corners 0-1, 2-3 and 4-5 make the segments; 1-2, 3-4 and 5-0 do not.
    shape.triangle({at(10), at(50), 0}, {at(30), at(50), 0}, {at(10), at(16), 0}, 0.5f, 0.5f);
    shape.triangle({at(40), at(16), 0}, {at(55), at(50), 0}, {at(55), at(20), 0}, 0.5f, 0.5f);
    LineMode lines;
    lines.textures.append(static_cast<int32_t>(texture)); // a line mode draws no texture
    r.color4f(0.0f, 0.0f, 1.0f, 1.0f);
    lines.draw(shape.vertices, shape.faces, shape.normals);
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(gl.pixel(20, 50) >> 8, 0xffffffu); // 0-1
    EXPECT_EQ(gl.pixel(25, 16) >> 8, 0xffffffu); // 2-3, from one face to the next
    EXPECT_EQ(gl.pixel(55, 35) >> 8, 0xffffffu); // 4-5
    EXPECT_EQ(gl.pixel(20, 33) >> 8, 0x000000u); // on 1-2
    EXPECT_EQ(gl.pixel(47, 33) >> 8, 0x000000u); // on 3-4
    EXPECT_EQ(gl.pixel(32, 32) >> 8, 0x000000u); // inside the faces: not filled
}

// Lines draw no texture of their own but do not switch texturing off either: after a
// background picture (or a textured group) their white is tinted by the texture still
// bound, at the texture coordinates last given.
TEST_F(RenderModeTest, LinesAreTintedByTheTextureLeftBound)
{
    GLuint texture = rowTexture({255, 0, 0});
    Geometry shape;
    shape.triangle({at(10), at(32), 0}, {at(50), at(32), 0}, {at(10), at(10), 0}, 0.5f, 0.5f);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture);
    r.texCoord2f(0.5f, 0.5f);
    LineMode().draw(shape.vertices, shape.faces, shape.normals);
    r.disable(GL_TEXTURE_2D);
    EXPECT_EQ(gl.pixel(30, 32) >> 8, 0xff0000u);
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR));
}

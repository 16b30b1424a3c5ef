#include "image/screen_quad.h"

#include "desktop/shell_state.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "image/loading_picture.h"
#include "image/texture.h"
#include "image_files.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <filesystem>

namespace {

// The texture memory the pictures of these tests take from.
ImageBudget budget;

constexpr int Width = 160;
constexpr int Height = 90;

// The quadrant colours of the test pictures, as seen upright.
constexpr uint32_t TopLeft = 0xFF0000FF;     // red
constexpr uint32_t TopRight = 0x00FF00FF;    // green
constexpr uint32_t BottomLeft = 0x0000FFFF;  // blue
constexpr uint32_t BottomRight = 0xFFFFFFFF; // white

uint8_t channel(uint32_t rgba, int index)
{
    return uint8_t(rgba >> (24 - 8 * index));
}

// 16 x 16 RGB pixels, top row first, one colour per 8 x 8 quadrant.
std::vector<uint8_t> quadrantPixels()
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t colour = y < 8 ? (x < 8 ? TopLeft : TopRight) : (x < 8 ? BottomLeft : BottomRight);
            rgb.insert(rgb.end(), {channel(colour, 0), channel(colour, 1), channel(colour, 2)});
        }
    return rgb;
}

std::string quadrantJpeg(const TempFolder& folder, const std::string& name = "quadrants.jpg")
{
    std::string path = folder.path(name);
    writeJpeg(path, 16, 16, 3, JCS_RGB, JCS_YCbCr, quadrantPixels());
    return path;
}

std::string quadrantPng(const TempFolder& folder)
{
    std::vector<uint8_t> rgb = quadrantPixels();
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < 16; ++y)
        rows.emplace_back(rgb.begin() + y * 48, rgb.begin() + (y + 1) * 48);
    std::string path = folder.path("quadrants.png");
    writePng(path, 16, 16, PNG_COLOR_TYPE_RGB, 8, rows);
    return path;
}

// The call sites' set-up: an orthographic projection over the screen, identity modelview.
void screenProjection()
{
    Renderer& r = ActiveRenderer();
    r.matrixMode(GL_PROJECTION);
    r.loadIdentity();
    r.ortho(0.0, ScreenWidth, 0.0, ScreenHeight, -1.0, 1.0);
    r.matrixMode(GL_MODELVIEW);
    r.loadIdentity();
}

// Red, green and blue within what JPEG coding and filtering change.
bool looksLike(uint32_t actual, uint32_t expected)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(channel(actual, i) - channel(expected, i)) > 6)
            return false;
    return true;
}

// The middle of each quadrant of the frame, read back: top left, top right, bottom left,
// bottom right.
std::vector<uint32_t> quadrants(const GlTestContext& gl)
{
    return {gl.pixel(Width / 4, Height * 3 / 4), gl.pixel(Width * 3 / 4, Height * 3 / 4),
        gl.pixel(Width / 4, Height / 4), gl.pixel(Width * 3 / 4, Height / 4)};
}

void expectQuadrants(const GlTestContext& gl, uint32_t topLeft, uint32_t topRight, uint32_t bottomLeft,
    uint32_t bottomRight)
{
    std::vector<uint32_t> seen = quadrants(gl);
    EXPECT_PRED2(looksLike, seen[0], topLeft) << std::hex << seen[0];
    EXPECT_PRED2(looksLike, seen[1], topRight) << std::hex << seen[1];
    EXPECT_PRED2(looksLike, seen[2], bottomLeft) << std::hex << seen[2];
    EXPECT_PRED2(looksLike, seen[3], bottomRight) << std::hex << seen[3];
}

// The state the quads set or leave alone.
struct QuadState {
    GLint activeUnit = 0;
    bool unit0Texturing = false;
    bool unit1Texturing = false;
    GLint unit0Texture = 0;
    bool lighting = false;
    bool blending = false;
    GLint blendSource = 0;
    GLint blendTarget = 0;
    bool depthTest = false;
    GLboolean depthWrites = GL_FALSE;
    GLint matrixMode = 0;
    float colour[4] = {};

    bool operator==(const QuadState& other) const
    {
        return activeUnit == other.activeUnit && unit0Texturing == other.unit0Texturing &&
            unit1Texturing == other.unit1Texturing && unit0Texture == other.unit0Texture &&
            lighting == other.lighting && blending == other.blending && blendSource == other.blendSource &&
            blendTarget == other.blendTarget && depthTest == other.depthTest && depthWrites == other.depthWrites &&
            matrixMode == other.matrixMode && std::equal(colour, colour + 4, other.colour);
    }
};

QuadState currentState()
{
    QuadState state;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &state.activeUnit);
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    state.unit1Texturing = glIsEnabled(GL_TEXTURE_2D);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    state.unit0Texturing = glIsEnabled(GL_TEXTURE_2D);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &state.unit0Texture);
    ext::glActiveTextureARB(state.activeUnit);
    state.lighting = glIsEnabled(GL_LIGHTING);
    state.blending = glIsEnabled(GL_BLEND);
    glGetIntegerv(GL_BLEND_SRC, &state.blendSource);
    glGetIntegerv(GL_BLEND_DST, &state.blendTarget);
    state.depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &state.depthWrites);
    glGetIntegerv(GL_MATRIX_MODE, &state.matrixMode);
    glGetFloatv(GL_CURRENT_COLOR, state.colour);
    return state;
}

// Everything the other way round from what the quads leave behind.
void scrambleState(GLuint otherTexture)
{
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, otherTexture);
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
}

QuadState stateLeftBehind(GLuint texture)
{
    QuadState state;
    state.activeUnit = GL_TEXTURE0_ARB;
    state.unit0Texturing = true;
    state.unit0Texture = GLint(texture);
    state.blendSource = GL_SRC_ALPHA;
    state.blendTarget = GL_ONE_MINUS_SRC_ALPHA;
    state.depthTest = true;
    state.depthWrites = GL_TRUE;
    state.matrixMode = GL_MODELVIEW;
    return state;
}

} // namespace

TEST(DrawBackgroundQuad, JpegShowsUprightAndPngUpsideDown)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    Renderer& r = ActiveRenderer();
    TempFolder folder("quad-background");
    screenProjection();
    DrawBackgroundQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f, 1.0f,
        LoadJpegTexture(quadrantJpeg(folder), true, budget));
    expectQuadrants(gl, TopLeft, TopRight, BottomLeft, BottomRight);
    // The quad covers exactly its rectangle.
    r.clearColor(0, 0, 0, 1);
    r.clear(GL_COLOR_BUFFER_BIT);
    screenProjection();
    DrawBackgroundQuad(40.0f, 30.0f, 20.0f, 10.0f, 1.0f, LoadPngTexture(quadrantPng(folder), true, budget));
    EXPECT_PRED2(looksLike, gl.pixel(25, 35), BottomLeft);
    EXPECT_PRED2(looksLike, gl.pixel(55, 25), TopRight);
    EXPECT_EQ(gl.pixel(19, 30), 0x000000FFu);
    EXPECT_EQ(gl.pixel(61, 30), 0x000000FFu);
    EXPECT_EQ(gl.pixel(40, 19), 0x000000FFu);
    EXPECT_EQ(gl.pixel(40, 41), 0x000000FFu);
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR));
}

TEST(DrawOverlayQuad, PngShowsUprightAndJpegUpsideDown)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    Renderer& r = ActiveRenderer();
    TempFolder folder("quad-overlay");
    screenProjection();
    r.color4f(1, 1, 1, 1);
    DrawOverlayQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f,
                    LoadPngTexture(quadrantPng(folder), true, budget));
    expectQuadrants(gl, TopLeft, TopRight, BottomLeft, BottomRight);
    screenProjection();
    DrawOverlayQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f,
                    LoadJpegTexture(quadrantJpeg(folder), true, budget));
    expectQuadrants(gl, BottomLeft, BottomRight, TopLeft, TopRight);
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR));
}

TEST(DrawOverlayQuad, TransparentAreasShowWhatIsBehindAndTheCurrentAlphaFadesIt)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    Renderer& r = ActiveRenderer();
    TempFolder folder("quad-blend");
    // Left half clear, right half opaque red. Samples are taken away from the edges,
    // where the default repeat wrapping filters in texels of the opposite edge.
    std::vector<std::vector<uint8_t>> rows(16);
    for (auto& row : rows)
        for (int x = 0; x < 16; ++x)
            row.insert(row.end(), {uint8_t(x < 8 ? 0 : 255), uint8_t(x < 8 ? 255 : 0), 0, uint8_t(x < 8 ? 0 : 255)});
    writePng(folder.path("half.png"), 16, 16, PNG_COLOR_TYPE_RGB_ALPHA, 8, rows);
    GLuint texture = LoadPngTexture(folder.path("half.png"), true, budget);

    r.clearColor(0, 0, 1, 1);
    r.clear(GL_COLOR_BUFFER_BIT);
    screenProjection();
    r.color4f(1, 1, 1, 1);
    DrawOverlayQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f, texture);
    EXPECT_EQ(gl.pixel(40, 45), 0x0000FFFFu);
    EXPECT_PRED2(looksLike, gl.pixel(120, 45), 0xFF0000FF);

    // The scene render leaves its last colour's alpha, and the overlay is modulated by it.
    r.clear(GL_COLOR_BUFFER_BIT);
    r.color4f(1, 1, 1, 0.5f);
    DrawOverlayQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f, texture);
    EXPECT_EQ(gl.pixel(40, 45), 0x0000FFFFu);
    EXPECT_PRED2(looksLike, gl.pixel(120, 45), 0x800080FF);
}

TEST(DrawBackgroundQuad, OpacityBlendsAndNothingAboveZeroDrawsNothingAndTouchesNoState)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    TempFolder folder("quad-opacity");
    GLuint texture = LoadJpegTexture(quadrantJpeg(folder), true, budget);
    Renderer& r = ActiveRenderer();
    r.clearColor(0, 0, 0, 1);
    r.clear(GL_COLOR_BUFFER_BIT);
    screenProjection();
    DrawBackgroundQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f, 0.5f, texture);
    expectQuadrants(gl, 0x800000FF, 0x008000FF, 0x000080FF, 0x808080FF);
    REQUIRE_FIXED_FUNCTION_STATE();

    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GLuint other = 0;
    glGenTextures(1, &other);
    scrambleState(other);
    const QuadState before = currentState();
    const std::vector<uint8_t> frame = gl.readPixels();
    for (float opacity : {0.0f, -0.0f, -1.0f, std::nanf("")}) {
        SCOPED_TRACE(opacity);
        DrawBackgroundQuad(Width * 0.5f, Height * 0.5f, Width * 0.5f, Height * 0.5f, opacity, texture);
        EXPECT_TRUE(currentState() == before);
        EXPECT_TRUE(gl.readPixels() == frame);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ScreenQuads, BothLeaveTheStateTheSceneRenderStartsFrom)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    REQUIRE_FIXED_FUNCTION_STATE();
    TempFolder folder("quad-state");
    GLuint jpeg = LoadJpegTexture(quadrantJpeg(folder), true, budget);
    GLuint png = LoadPngTexture(quadrantPng(folder), true, budget);
    GLuint other = 0;
    glGenTextures(1, &other);

    screenProjection();
    scrambleState(other);
    DrawBackgroundQuad(80, 45, 80, 45, 0.75f, jpeg);
    QuadState expected = stateLeftBehind(jpeg);
    const float backgroundColour[4] = {1, 1, 1, 0.75f};
    std::copy(backgroundColour, backgroundColour + 4, expected.colour);
    EXPECT_TRUE(currentState() == expected);

    scrambleState(other);
    DrawOverlayQuad(80, 45, 80, 45, png);
    expected = stateLeftBehind(png);
    const float untouchedColour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    std::copy(untouchedColour, untouchedColour + 4, expected.colour);
    EXPECT_TRUE(currentState() == expected);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(DrawLoadingPicture, DrawsTheLoadingJpegOverTheScreenAndRestoresTheProjection)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    TempFolder folder("loading");
    std::filesystem::create_directories(folder.path("data"));
    quadrantJpeg(folder, "data/loading.jpg");
    DataFolder show;
    std::string problem;
    ASSERT_TRUE(show.open(folder.folder(), true, problem)) << problem;

    Renderer& r = ActiveRenderer();
    const bool fixedFunction = r.kind() == RendererKind::Gl;
    float projection[16] = {}, after[16] = {};
    if (fixedFunction) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1, 1, -1, 1, 1, 10);
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
    }
    r.matrixMode(GL_MODELVIEW);
    r.loadIdentity();
    r.clearColor(0.5f, 0.5f, 0.5f, 1);
    r.clear(GL_COLOR_BUFFER_BIT);

    GLuint texture = DrawLoadingPicture(show, budget, ScreenWidth, ScreenHeight);
    EXPECT_NE(texture, 0u);
    expectQuadrants(gl, TopLeft, TopRight, BottomLeft, BottomRight);
    // The picture reaches the corners of the screen.
    EXPECT_PRED2(looksLike, gl.pixel(6, Height - 7), TopLeft);
    EXPECT_PRED2(looksLike, gl.pixel(Width - 7, 6), BottomRight);
    if (fixedFunction) {
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_TRUE(std::equal(projection, projection + 16, after));
    }

    // Without the picture the frame still comes: the quad untextured, over black.
    std::filesystem::remove(folder.path("data/loading.jpg"));
    DrawLoadingPicture(show, budget, ScreenWidth, ScreenHeight);
    expectQuadrants(gl, BottomRight, BottomRight, BottomRight, BottomRight);
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR));
}

TEST(ScreenProjection, MapsPixelsOfThePictureAndThePopPutsBackTheProjectionWithTheModelviewSelected)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    REQUIRE_FIXED_FUNCTION_STATE();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    float scene[16];
    glGetFloatv(GL_PROJECTION_MATRIX, scene);
    const struct {
        int width, height;
    } pictures[] = {{Width, Height}, {1, 1}, {3840, 2160}};
    for (const auto& picture : pictures) {
        SCOPED_TRACE(std::to_string(picture.width) + "x" + std::to_string(picture.height));
        glMatrixMode(GL_TEXTURE);
        PushScreenProjection(picture.width, picture.height);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_PROJECTION);
        float ortho[16];
        glGetFloatv(GL_PROJECTION_MATRIX, ortho);
        // (0, 0) at the bottom left corner, (width, height) at the top right, depth flipped.
        EXPECT_FLOAT_EQ(ortho[0], 2.0f / picture.width);
        EXPECT_FLOAT_EQ(ortho[5], 2.0f / picture.height);
        EXPECT_FLOAT_EQ(ortho[10], -1.0f);
        EXPECT_FLOAT_EQ(ortho[12], -1.0f);
        EXPECT_FLOAT_EQ(ortho[13], -1.0f);

        PopScreenProjection();
        float after[16];
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_TRUE(std::equal(scene, scene + 16, after));
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLint depth = 0;
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

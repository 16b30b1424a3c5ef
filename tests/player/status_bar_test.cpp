// The status bar draws over the bottom of a finished frame and leaves the show alone: no
// pixel above it changes, and the show's next frame draws exactly as without it.
#include "player/status_bar.h"

#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

// A frame drawn in state of the kind the show leaves behind: a letterboxed viewport, a
// perspective projection, depth test, lighting, a texture on each of two units with
// generated coordinates on the second, and blending.
class ShowLikeFrame {
public:
    ShowLikeFrame()
    {
        unsigned char checker[8 * 8 * 4];
        for (int i = 0; i < 64; ++i) {
            const unsigned char on = ((i % 8) + (i / 8)) % 2 ? 255 : 40;
            checker[i * 4 + 0] = on;
            checker[i * 4 + 1] = static_cast<unsigned char>(255 - on);
            checker[i * 4 + 2] = 128;
            checker[i * 4 + 3] = 255;
        }
        glGenTextures(2, textures_);
        for (GLuint texture : textures_) {
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, checker);
        }
        // State set once, as the show's render modes leave it between frames.
        glViewport(0, 30, Width, Height - 60);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(Width) / Height, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -3);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        ext::glActiveTextureARB(GL_TEXTURE1_ARB);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures_[1]);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
        ext::glActiveTextureARB(GL_TEXTURE0_ARB);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures_[0]);
    }
    ~ShowLikeFrame() { glDeleteTextures(2, textures_); }

    // Draws with whatever state is current, as the show's next frame would.
    void draw() const
    {
        glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(0.8f, 0.6f, 0.4f);
        glBegin(GL_TRIANGLES);
        glNormal3f(0, 0, 1);
        glTexCoord2f(0, 0);
        glVertex3f(-1.5f, -1.2f, 0);
        glTexCoord2f(4, 0);
        glVertex3f(1.5f, -1.2f, -1);
        glTexCoord2f(2, 4);
        glVertex3f(0, 1.4f, 0.5f);
        glEnd();
    }

private:
    GLuint textures_[2] = {};
};

// Rows from `from` up, of RGBA pixels read bottom row first.
std::vector<uint8_t> rowsFrom(const std::vector<uint8_t>& pixels, int from)
{
    return std::vector<uint8_t>(pixels.begin() + static_cast<long>(from) * Width * 4, pixels.end());
}

bool anyLitPixel(const std::vector<uint8_t>& pixels, int rows)
{
    for (size_t i = 0; i < static_cast<size_t>(rows) * Width * 4; i += 4)
        if (pixels[i] > 128 && pixels[i + 1] > 128)
            return true;
    return false;
}

} // namespace

TEST(StatusBar, ChangesNoPixelOfTheShowAboveItAndNoStateOfTheShow)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    REQUIRE_FIXED_FUNCTION_STATE();
    StatusBar bar;
    std::string problem;
    ASSERT_TRUE(bar.load(StatusFontFiles(), 13, problem)) << problem;
    ShowLikeFrame frame;

    frame.draw();
    const std::vector<uint8_t> without = gl.readPixels();
    bar.draw(Width, Height, "part 2/8  orbit.scn  orbit_cam  00:12.345  1x", {});
    const std::vector<uint8_t> with = gl.readPixels();
    ASSERT_GT(bar.height(), 10);
    EXPECT_EQ(rowsFrom(with, bar.height()), rowsFrom(without, bar.height()));
    EXPECT_TRUE(anyLitPixel(with, bar.height())) << "no text in the bar";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The next frame of the show draws in the state it left.
    frame.draw();
    EXPECT_EQ(gl.readPixels(), without);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[1], 30);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(StatusBar, ProblemsAreListedAboveTheBarAndTheirCountIsCapped)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    StatusBar bar;
    std::string problem;
    ASSERT_TRUE(bar.load(StatusFontFiles(), 13, problem)) << problem;
    ActiveRenderer().clearColor(0, 0, 0, 1);
    ActiveRenderer().clear(GL_COLOR_BUFFER_BIT);
    std::vector<std::string> problems;
    for (int i = 0; i < 30; ++i)
        problems.push_back("data/missing" + std::to_string(i) + ".jpg: not found");
    bar.draw(Width, Height, "status", problems);
    const std::vector<uint8_t> pixels = gl.readPixels();
    // Eight problems and a line counting the rest, above the bar; the top stays clear.
    const int listTop = bar.height() + 9 * (bar.height() - 6) + 6;
    EXPECT_TRUE(anyLitPixel(rowsFrom(pixels, bar.height()), listTop - bar.height()));
    EXPECT_FALSE(anyLitPixel(rowsFrom(pixels, listTop + 2), Height - listTop - 2));
    const uint8_t* top = &pixels[(static_cast<size_t>(Height) - 1) * Width * 4];
    EXPECT_EQ(top[0] + top[1] + top[2], 0);
}

TEST(StatusBar, WithoutAFontTheBarIsDrawnWithoutText)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    StatusBar bar;
    std::string problem;
    EXPECT_FALSE(bar.load({"/nonexistent/DejaVuSansMono.ttf"}, 13, problem));
    EXPECT_NE(problem.find("fonts-dejavu-core"), std::string::npos) << problem;
    ActiveRenderer().clearColor(1, 1, 1, 1);
    ActiveRenderer().clear(GL_COLOR_BUFFER_BIT);
    bar.draw(Width, Height, "no text", {});
    EXPECT_EQ(ActiveRenderer().takeError(), static_cast<GLenum>(GL_NO_ERROR));
    // The bar's dark backing is there, over white.
    EXPECT_LT(gl.pixel(5, 2) >> 24, 0x80u);
    EXPECT_EQ(gl.pixel(5, Height - 2) >> 24, 0xFFu);
}

TEST(StatusBar, CharactersOutsideTheFontDrawAsQuestionMarks)
{
    GlTestContext gl(Width, Height);
    REQUIRE_GL(gl);
    StatusBar bar;
    std::string problem;
    ASSERT_TRUE(bar.load(StatusFontFiles(), 13, problem)) << problem;
    const auto drawn = [&](const char* text) {
        ActiveRenderer().clearColor(0, 0, 0, 1);
        ActiveRenderer().clear(GL_COLOR_BUFFER_BIT);
        bar.draw(Width, Height, text, {text});
        return gl.readPixels();
    };
    const std::vector<uint8_t> questions = drawn("a?b");
    EXPECT_NE(drawn("a b"), questions);
    // Below the space, the delete character, and a byte of UTF-8 past plain ASCII.
    for (const char* text : {"a\tb", "a\x7f" "b", "a\xe9" "b"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_EQ(drawn(text), questions);
    }
}

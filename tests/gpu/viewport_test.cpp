#include "gpu/gl.h"
#include "gpu/viewport.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Band {
    int width, height;
    int y, bandHeight;
};

// What a 45-degree perspective of the window's aspect from 0.1f to 10000 must give.
void expectProjection(int width, int height)
{
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    const double nearPlane = static_cast<double>(0.1f);
    const double farPlane = 10000.0;
    const double f = 1.0 / std::tan(45.0 * M_PI / 360.0);
    const double aspect = static_cast<double>(width) / height;
    EXPECT_NEAR(m[0], f / aspect, 1e-6);
    EXPECT_NEAR(m[5], f, 1e-6);
    EXPECT_NEAR(m[10], (farPlane + nearPlane) / (nearPlane - farPlane), 1e-6);
    EXPECT_NEAR(m[11], -1.0, 1e-6);
    EXPECT_NEAR(m[14], 2.0 * farPlane * nearPlane / (nearPlane - farPlane), 1e-6);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
        EXPECT_EQ(m[i], 0.0f) << "element " << i;
}

void expectIdentityModelView()
{
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
}

} // namespace

TEST(SetViewport, SixteenByNineBandOfTheFullWidthCentredVertically)
{
    GlTestContext gl(64, 64);
    REQUIRE_GL(gl);
    const Band bands[] = {
        {640, 480, 60, 360},
        {800, 600, 75, 450},
        {1024, 768, 96, 576},
        // Wider than 16:9: the band is taller than the window and starts below it.
        {1920, 800, -140, 1080},
    };
    for (const Band& band : bands) {
        SCOPED_TRACE(testing::Message() << band.width << "x" << band.height);
        glMatrixMode(GL_PROJECTION);
        SetViewport(band.width, band.height);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], 0);
        EXPECT_EQ(viewport[1], band.y);
        EXPECT_EQ(viewport[2], band.width);
        EXPECT_EQ(viewport[3], band.bandHeight);
        expectIdentityModelView();
        expectProjection(band.width, band.height);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(SetViewport, HeightZeroCountsAsOne)
{
    GlTestContext gl(64, 64);
    REQUIRE_GL(gl);
    SetViewport(640, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    // (1 - 360) / 2 truncates toward zero.
    EXPECT_EQ(viewport[1], -179);
    EXPECT_EQ(viewport[3], 360);
    expectProjection(640, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(SetViewport, ClearOutsideTheBandStillReachesTheWholeWindow)
{
    GlTestContext gl(160, 120);
    REQUIRE_GL(gl);
    SetViewport(160, 120);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // The band is rows 15..104; rows above and below show the clear colour too.
    EXPECT_EQ(gl.pixel(80, 2), 0x0000FFFFu);
    EXPECT_EQ(gl.pixel(80, 117), 0x0000FFFFu);
}

TEST(InitGLState, SetsTheOneTimeStateThenTheViewport)
{
    GlTestContext gl(64, 64);
    REQUIRE_GL(gl);
    glClearColor(1, 1, 1, 1);
    InitGLState(800, 600);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0.0f);
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[1], 75);
}

#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

TEST(GlExtensions, MultitextureEntryPointsResolveAndUnitOneCanBeSwitchedOff)
{
    GlTestContext gl(64, 64);
    REQUIRE_GL(gl);
    ASSERT_TRUE(LoadExtensions());
    EXPECT_NE(ext::glMultiTexCoord1dARB, nullptr);
    EXPECT_NE(ext::glMultiTexCoord4svARB, nullptr);
    EXPECT_NE(ext::glClientActiveTextureARB, nullptr);

    // The order every screen quad uses: unit 1 off, then unit 0 selected for what follows.
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));

    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl.pixel(10, 10), 0xFF0000FFu);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

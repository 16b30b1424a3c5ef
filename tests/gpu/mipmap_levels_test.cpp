// The gles2 renderer builds mipmap levels itself; they must be the levels GLU builds for the
// gl renderer, byte for byte, or the two renderers sample different texels far away.
#include "gpu/renderer_gles2.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(MipmapLevels, EveryLevelHalvesAsGluDoes)
{
    GlTestContext gl(16, 16, RendererKind::Gl);
    REQUIRE_GL(gl);
    const struct {
        int width, height, components;
        GLenum format;
    } pictures[] = {{64, 16, 3, GL_RGB}, {8, 32, 4, GL_RGBA}, {1, 8, 3, GL_RGB}, {16, 1, 1, GL_ALPHA}};
    for (const auto& p : pictures) {
        SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + "x" + std::to_string(p.components));
        std::vector<uint8_t> texels(static_cast<size_t>(p.width) * p.height * p.components);
        uint32_t seed = 12345;
        for (uint8_t& t : texels) {
            seed = seed * 1103515245u + 12345u;
            t = static_cast<uint8_t>(seed >> 24);
        }
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(p.format), p.width, p.height, p.format, GL_UNSIGNED_BYTE,
                          texels.data());
        int width = p.width, height = p.height;
        for (int level = 0;; ++level) {
            SCOPED_TRACE(level);
            std::vector<uint8_t> glu(static_cast<size_t>(width) * height * p.components);
            glGetTexImage(GL_TEXTURE_2D, level, p.format, GL_UNSIGNED_BYTE, glu.data());
            EXPECT_EQ(glu, texels);
            if (width == 1 && height == 1)
                break;
            HalveTexels(texels, width, height, p.components);
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
        glDeleteTextures(1, &texture);
    }
}

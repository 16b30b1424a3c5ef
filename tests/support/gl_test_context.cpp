#include "support/gl_test_context.h"

#include "desktop/shell_state.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"

#include <gtest/gtest.h>

#include <cstdlib>

RendererKind TestRenderer()
{
    const char* name = std::getenv("TALDREX_TEST_RENDERER");
    RendererKind kind = RendererKind::Gl;
    if (name)
        ParseRendererName(name, kind);
    return kind;
}

GlTestContext::GlTestContext(int width, int height, RendererKind kind) : width_(width), height_(height), kind_(kind)
{
    if (!offscreen_.create("taldrex test", width, height, 8, kind))
        return;
    ok_ = true;
    if (kind == RendererKind::Gl)
        LoadExtensions();
    ScreenWidth = width;
    ScreenHeight = height;
    ActiveRenderer().viewport(0, 0, width, height);
}

GlTestContext::~GlTestContext() = default;

std::vector<uint8_t> GlTestContext::readPixels() const
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // OpenGL ES 2.0 has no glReadBuffer: it reads the buffer drawn to, the back one.
    if (kind_ == RendererKind::Gl)
        glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

uint32_t GlTestContext::pixel(int x, int y) const
{
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // OpenGL ES 2.0 has no glReadBuffer: it reads the buffer drawn to, the back one.
    if (kind_ == RendererKind::Gl)
        glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

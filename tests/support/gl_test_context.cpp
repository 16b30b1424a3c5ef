#include "support/gl_test_context.h"

#include "app/gl.h"
#include "app/gl_extensions.h"
#include "app/shell_state.h"

#include <gtest/gtest.h>

GlTestContext::GlTestContext(int width, int height) : width_(width), height_(height)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow("taldrex test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_)
        return;
    context_ = SDL_GL_CreateContext(window_);
    if (!context_)
        return;
    SDL_GL_MakeCurrent(window_, context_);
    LoadExtensions();
    ScreenWidth = width;
    ScreenHeight = height;
    glViewport(0, 0, width, height);
}

GlTestContext::~GlTestContext()
{
    if (context_) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<uint8_t> GlTestContext::readPixels() const
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

uint32_t GlTestContext::pixel(int x, int y) const
{
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

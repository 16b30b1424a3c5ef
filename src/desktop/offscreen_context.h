// OffscreenContext: a hidden window of SDL's off-screen video driver with a current
// context for one renderer, for drawing with no display (capture, tests, benchmarks).
#pragma once

#include "gpu/renderer.h"

#include <SDL.h>

#include <string>

class OffscreenContext {
public:
    OffscreenContext() = default;
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Creates the window (width x height, 8 bits per colour, alphaBits of alpha, 16-bit depth,
    // double-buffered) with the context kind's renderer draws with (a compatibility context
    // for gl, OpenGL ES 2.0 for gles2), makes it current and installs that renderer. Returns
    // false, with the reason in problem() and SDL_GetError(), when the driver, the context
    // or the renderer cannot be had.
    bool create(const char* title, int width, int height, int alphaBits, RendererKind kind = RendererKind::Gl);

    SDL_Window* window() const { return window_; }
    SDL_GLContext context() const { return context_; }
    // Why create failed; empty when it did not.
    const std::string& problem() const { return problem_; }

private:
    bool fail(const std::string& reason);

    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    Renderer* renderer_ = nullptr; // installed with the context, removed with it
    std::string problem_;
};

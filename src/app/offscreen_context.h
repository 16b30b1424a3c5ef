// OffscreenContext: a hidden window of SDL's off-screen video driver with a current
// compatibility context, for drawing with no display (capture, tests, benchmarks).
#pragma once

#include <SDL.h>

class OffscreenContext {
public:
    OffscreenContext() = default;
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Creates the window (width x height, 8 bits per colour, alphaBits of alpha, 16-bit depth,
    // double-buffered) and makes its context current. Returns false, with the reason in
    // SDL_GetError(), when the driver or the context cannot be had.
    bool create(const char* title, int width, int height, int alphaBits);

    SDL_Window* window() const { return window_; }
    SDL_GLContext context() const { return context_; }

private:
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
};

// GlTestContext: a live OpenGL context with no display, for tests that draw.
#pragma once

#include "desktop/offscreen_context.h"
#include "support/missing.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// The renderer drawing tests draw with unless they name one: gles2 when the environment
// variable TALDREX_TEST_RENDERER says so, else gl.
RendererKind TestRenderer();

// Creates an off-screen SDL window of width x height with the context kind's renderer
// draws with (SDL's offscreen video driver over EGL: a compatibility context for gl,
// OpenGL ES 2.0 for gles2), makes it current, installs that renderer and loads the
// extension entry points. ok() tells whether that worked; tests skip when it did not.
class GlTestContext {
public:
    GlTestContext(int width = 320, int height = 240, RendererKind kind = TestRenderer());
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool ok() const { return ok_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Why the context or its renderer could not be had; empty when ok().
    const std::string& problem() const { return offscreen_.problem(); }

    // The back buffer as RGBA bytes, bottom row first (as glReadPixels gives it).
    std::vector<uint8_t> readPixels() const;
    // One pixel of the back buffer (x from the left, y from the bottom) as 0xRRGGBBAA.
    uint32_t pixel(int x, int y) const;

private:
    int width_;
    int height_;
    RendererKind kind_;
    OffscreenContext offscreen_;
    bool ok_ = false;
};

// Skips the current test (fails it under CI) when the context could not be made.
#define REQUIRE_GL(ctx)                                                            \
    do {                                                                           \
        if (!(ctx).ok())                                                           \
            SKIP_FOR_MISSING("no off-screen OpenGL context: " << (ctx).problem()); \
    } while (0)

// Skips the current test under any renderer but gl: what it checks is the fixed-function
// pipeline's own state, which only that renderer hands to the driver.
#define REQUIRE_FIXED_FUNCTION_STATE()                                              \
    do {                                                                            \
        if (ActiveRenderer().kind() != RendererKind::Gl)                            \
            GTEST_SKIP() << "asks the fixed-function pipeline for its state";       \
    } while (0)

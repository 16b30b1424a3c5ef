#include "gpu/frame_readback.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Frame n is cleared to red n, green 255 - n, with its bottom-left pixel blue.
void drawNumbered(int n)
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(n / 255.0f, (255 - n) / 255.0f, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void expectFrame(const std::vector<unsigned char>& pixels, int width, int n)
{
    // Bottom row first: the blue pixel leads, the rest is the frame's colour.
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[2], 255);
    const size_t last = pixels.size() - 4;
    EXPECT_EQ(pixels[4], n);
    EXPECT_EQ(pixels[last], n);
    EXPECT_EQ(pixels[last + 1], 255 - n);
    EXPECT_EQ(pixels[static_cast<size_t>(width) * 4], n);
}

} // namespace

TEST(FrameReadback, ReadsInFlightComeBackInOrderWithTheirOwnPictures)
{
    const int width = 48, height = 20;
    GlTestContext gl(width, height);
    REQUIRE_GL(gl);
    for (int inFlight : {0, 1, 3}) {
        FrameReadback readback;
        // Mesa's software renderer offers pixel buffer objects to the gl renderer; OpenGL
        // ES 2.0 has none, and the gles2 renderer reads each frame at once.
        const bool buffered = inFlight > 0 && ActiveRenderer().kind() == RendererKind::Gl;
        EXPECT_EQ(readback.create(width, height, inFlight), buffered) << inFlight;
        std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
        std::vector<long long> collected;
        for (int n = 0; n < 10; ++n) {
            drawNumbered(n * 20);
            readback.start(100 + n);
            while (readback.due(false)) {
                const long long frame = readback.collect(pixels.data());
                collected.push_back(frame);
                expectFrame(pixels, width, static_cast<int>(frame - 100) * 20);
            }
            // Every read but the newest few is collected as drawing goes on.
            EXPECT_GE(static_cast<int>(collected.size()), n + 2 - std::max(inFlight, 1)) << inFlight;
        }
        while (readback.due(true)) {
            const long long frame = readback.collect(pixels.data());
            collected.push_back(frame);
            expectFrame(pixels, width, static_cast<int>(frame - 100) * 20);
        }
        ASSERT_EQ(collected.size(), 10u) << inFlight;
        for (int n = 0; n < 10; ++n)
            EXPECT_EQ(collected[static_cast<size_t>(n)], 100 + n);
        EXPECT_EQ(readback.collect(pixels.data()), -1);
        EXPECT_FALSE(readback.failed());
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

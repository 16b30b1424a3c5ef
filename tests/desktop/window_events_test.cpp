#include "desktop/shell_probes.h"
#include "desktop/shell_state.h"
#include "desktop/window.h"
#include "gpu/gl.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void pushKey(Uint32 type, SDL_Keycode key)
{
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void pushSizeChanged(Uint32 windowId, int width, int height)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    event.window.data1 = width;
    event.window.data2 = height;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

} // namespace

TEST(KeyState, FollowsKeyEventsByVirtualKeyCode)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    std::memset(KeyState, 0, sizeof KeyState);

    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_7);
    pushKey(SDL_KEYDOWN, SDLK_F5);
    pushKey(SDL_KEYDOWN, SDLK_RSHIFT);
    pushKey(SDL_KEYDOWN, SDLK_KP_ENTER);
    PumpMessages();
    EXPECT_EQ(KeyState[27], 1);
    EXPECT_EQ(KeyState['A'], 1);
    EXPECT_EQ(KeyState['7'], 1);
    EXPECT_EQ(KeyState[0x74], 1);
    EXPECT_EQ(KeyState[0x10], 1);
    EXPECT_EQ(KeyState[0x0D], 1);
    int down = 0;
    for (int state : KeyState)
        down += state;
    EXPECT_EQ(down, 6);

    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    pushKey(SDL_KEYUP, SDLK_LSHIFT); // either shift releases the one shift code
    PumpMessages();
    EXPECT_EQ(KeyState[27], 0);
    EXPECT_EQ(KeyState[0x10], 0);
    EXPECT_EQ(KeyState['A'], 1);

    // Releasing a key that was never pressed writes 0; keys without a code change nothing.
    KeyState['B'] = 5;
    pushKey(SDL_KEYUP, SDLK_b);
    pushKey(SDL_KEYDOWN, SDLK_AUDIOPLAY);
    PumpMessages();
    EXPECT_EQ(KeyState['B'], 0);
    std::memset(KeyState, 0, sizeof KeyState);
}

TEST(KeyPressed, RemembersAPressReleasedBeforeItIsRead)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    std::memset(KeyState, 0, sizeof KeyState);
    std::memset(KeyPressed, 0, sizeof KeyPressed);

    // Down and up within one pump: the state says up, the press is still there once.
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    PumpMessages();
    EXPECT_EQ(KeyState[27], 0);
    EXPECT_TRUE(TakeKeyPress(27));
    EXPECT_FALSE(TakeKeyPress(27));

    // A release alone is no press; codes out of range are refused.
    pushKey(SDL_KEYUP, SDLK_SPACE);
    PumpMessages();
    EXPECT_FALSE(TakeKeyPress(0x20));
    EXPECT_FALSE(TakeKeyPress(-1));
    EXPECT_FALSE(TakeKeyPress(256));
}

TEST(PumpMessages, ReturnsAtOnceWhenNothingIsQueued)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    PumpMessages();
    const Uint32 start = SDL_GetTicks();
    PumpMessages();
    EXPECT_LT(SDL_GetTicks() - start, 50u);
}

TEST(WindowSizeEvents, RecordTheDrawableSizeAndSetTheViewport)
{
    GlTestContext gl(320, 240);
    REQUIRE_GL(gl);
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    ASSERT_NE(window, nullptr);

    // The drawable is what counts, not the size the event carries.
    pushSizeChanged(SDL_GetWindowID(window), 1, 1);
    PumpMessages();
    EXPECT_EQ(ScreenWidth, 320);
    EXPECT_EQ(ScreenHeight, 240);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[1], 30);
    EXPECT_EQ(viewport[3], 180);

    // A window that is gone leaves the event's own size; a minimised height of 0 counts as 1.
    pushSizeChanged(0, 800, 0);
    PumpMessages();
    EXPECT_EQ(ScreenWidth, 800);
    EXPECT_EQ(ScreenHeight, 1);
}

TEST(WindowCloseEvents, EndTheProgramWithStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            GlTestContext gl(32, 32);
            SDL_Event event{};
            event.type = SDL_QUIT;
            SDL_PushEvent(&event);
            PumpMessages();
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
}

TEST(CreateDemoWindow, WindowedGivesTheTitledWindowWithItsContextAndState)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Checked in a child process because the window lives until the program ends.
    EXPECT_EXIT(
        {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            SDL_Window* window = CreateDemoWindow(640, 480, false);
            if (!window)
                std::exit(10);
            if (ScreenWidth != 640 || ScreenHeight != 480)
                std::exit(11);
            if (!RenderContext || SDL_GL_GetCurrentContext() != RenderContext)
                std::exit(12);
            if (!glIsEnabled(GL_DEPTH_TEST) || !glIsEnabled(GL_TEXTURE_2D))
                std::exit(13);
            if (std::strcmp(SDL_GetWindowTitle(window), "Quorin - Taldrex") != 0)
                std::exit(14);
            if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN))
                std::exit(15);
            std::fprintf(stderr, "window ready\n");
            CloseDemoWindow();
        },
        testing::ExitedWithCode(0), "window ready");
}

TEST(CreateDemoWindow, FullscreenSizeTheDisplayLacksEndsWithAnError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            CreateDemoWindow(800, 600, true);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "screenmode not found");
}

TEST(Cursor, ShowsOnMovementAndHidesAfterTwoSecondsAtRest)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    SDL_ShowCursor(SDL_DISABLE);
    const Uint32 before = SDL_GetTicks();
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    ASSERT_EQ(SDL_PushEvent(&motion), 1) << SDL_GetError();
    PumpMessages();
    const Uint32 after = SDL_GetTicks();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

    HideIdleCursor(before + CursorIdleMs - 1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    HideIdleCursor(after + CursorIdleMs);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    // Moved again: back at once.
    ASSERT_EQ(SDL_PushEvent(&motion), 1);
    PumpMessages();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST(CreateDemoWindow, AMonitorThatIsNotThereIsReportedNotGuessed)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            WindowDisplay = 5;
            if (CreateDesktopWindow() || CreateDemoWindow(640, 480, false))
                std::exit(10);
            std::fprintf(stderr, "%s\n", SDL_GetError());
            std::exit(0);
        },
        testing::ExitedWithCode(0), "display 5 not found \\(this system has 1\\)");
}

// The window on a real X server of a known size. tests/e2e/desktop_screens.sh runs these
// under Xvfb with TALDREX_TEST_SCREEN set to the screen's size; elsewhere they skip, so
// that a developer's own desktop is never taken over.
#include "desktop/shell_state.h"
#include "desktop/window.h"
#include "gpu/gl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Screen {
    int width = 0;
    int height = 0;
};

Screen testScreen()
{
    Screen screen;
    const char* size = std::getenv("TALDREX_TEST_SCREEN");
    if (!size || !std::getenv("DISPLAY") || std::sscanf(size, "%dx%d", &screen.width, &screen.height) != 2)
        return {};
    return screen;
}

#define REQUIRE_X_SCREEN(screen)                                                          \
    do {                                                                                  \
        if ((screen).width <= 0)                                                          \
            GTEST_SKIP() << "run by tests/e2e/desktop_screens.sh on an Xvfb screen";      \
    } while (0)

// Exits the child process with code when the viewport is not x, y, width, height.
void expectViewport(int x, int y, int width, int height, int code)
{
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[0] != x || viewport[1] != y || viewport[2] != width || viewport[3] != height) {
        std::fprintf(stderr, "viewport %d %d %d %d, expected %d %d %d %d\n", viewport[0], viewport[1], viewport[2],
                     viewport[3], x, y, width, height);
        std::exit(code);
    }
}

// Pumps events until the recorded drawable is width x height; exits with code after 3 s.
void pumpUntilSize(int width, int height, int code)
{
    const Uint32 start = SDL_GetTicks();
    while (ScreenWidth != width || ScreenHeight != height) {
        if (SDL_GetTicks() - start > 3000) {
            std::fprintf(stderr, "drawable %dx%d, expected %dx%d\n", ScreenWidth, ScreenHeight, width, height);
            std::exit(code);
        }
        PumpMessages();
        SDL_Delay(10);
    }
}

void pressKey(SDL_Window* window, SDL_Keycode key, Uint16 mod)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(window);
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    SDL_PushEvent(&event);
}

} // namespace

TEST(OnXScreen, DesktopModeFillsTheScreenBorderlessWithTheBand)
{
    const Screen screen = testScreen();
    REQUIRE_X_SCREEN(screen);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDL_Window* window = CreateDesktopWindow();
            if (!window)
                std::exit(10);
            int width = 0;
            int height = 0;
            SDL_GL_GetDrawableSize(window, &width, &height);
            if (width != screen.width || height != screen.height)
                std::exit(11);
            const Uint32 flags = SDL_GetWindowFlags(window);
            if (!(flags & SDL_WINDOW_BORDERLESS) || (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) != SDL_WINDOW_FULLSCREEN_DESKTOP)
                std::exit(12);
            // 1920x1080: the band is the whole screen; 1280x1024: 720 rows at y = 152.
            const int band = screen.width * 9 / 16;
            expectViewport(0, (screen.height - band) / 2, screen.width, band, 13);
            std::fprintf(stderr, "desktop %dx%d\n", width, height);
            CloseDemoWindow();
        },
        testing::ExitedWithCode(0), "desktop [0-9]+x[0-9]+");
}

TEST(OnXScreen, SizedWindowFollowsResizesAndTogglesToDesktopAndBack)
{
    const Screen screen = testScreen();
    REQUIRE_X_SCREEN(screen);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDL_Window* window = CreateDemoWindow(1280, 720, false);
            if (!window)
                std::exit(10);
            int width = 0;
            int height = 0;
            SDL_GetWindowSize(window, &width, &height);
            if (width != 1280 || height != 720 || !(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE))
                std::exit(11);
            expectViewport(0, 0, 1280, 720, 12);

            // A resize by the user (the window system's event) moves the viewport.
            SDL_SetWindowSize(window, 1000, 700);
            pumpUntilSize(1000, 700, 13);
            expectViewport(0, (700 - 562) / 2, 1000, 562, 14);

            pressKey(window, SDLK_f, KMOD_NONE);
            pumpUntilSize(screen.width, screen.height, 15);
            const int band = screen.width * 9 / 16;
            expectViewport(0, (screen.height - band) / 2, screen.width, band, 16);

            pressKey(window, SDLK_RETURN, KMOD_LALT);
            pumpUntilSize(1000, 700, 17);
            expectViewport(0, (700 - 562) / 2, 1000, 562, 18);
            // Return alone is no toggle.
            pressKey(window, SDLK_RETURN, KMOD_NONE);
            PumpMessages();
            if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)
                std::exit(19);
            std::fprintf(stderr, "window followed\n");
            CloseDemoWindow();
        },
        testing::ExitedWithCode(0), "window followed");
}

// Xvfb's GLX has no swap control; the script runs these over EGL, which has.
TEST(OnXScreen, VsyncIsAskedForByDefaultAdaptiveOrPlain)
{
    const Screen screen = testScreen();
    REQUIRE_X_SCREEN(screen);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (!CreateDemoWindow(640, 480, false))
                std::exit(10);
            std::fprintf(stderr, "swap interval %d\n", SDL_GL_GetSwapInterval());
            CloseDemoWindow();
        },
        testing::ExitedWithCode(0), "swap interval -?1\n");
}

TEST(OnXScreen, VsyncOffGivesSwapIntervalZero)
{
    const Screen screen = testScreen();
    REQUIRE_X_SCREEN(screen);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WindowVsync = false;
            if (!CreateDemoWindow(640, 480, false))
                std::exit(10);
            std::fprintf(stderr, "swap interval %d\n", SDL_GL_GetSwapInterval());
            CloseDemoWindow();
        },
        testing::ExitedWithCode(0), "swap interval 0\n");
}

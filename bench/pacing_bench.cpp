// Frame pacing: the player's loop of clear, draw, swap in a 1280x720 window, with the
// swap interval the player asks for (vsync: adaptive or plain) and with vsync off. For
// each, 300 frames after 30 to settle: the mean and standard deviation of the intervals
// between the ends of successive swaps, the swap interval SDL reports, and the display's
// refresh period, the interval a vsynced loop should keep to. On an X display (DISPLAY
// set; bench/report.py starts Xvfb) the context is EGL, which has swap control under
// Xvfb; otherwise SDL's off-screen driver.
#include "desktop/sdl_gl.h"
#include "desktop/window.h"
#include "gpu/gl.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int frames = 300;
constexpr int settleFrames = 30;

struct PacingWindow {
    PacingWindow()
    {
        if (!std::getenv("DISPLAY"))
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return;
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow("pacing bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL);
        if (window)
            context = SDL_GL_CreateContext(window);
        std::string error;
        if (context && SDL_GL_MakeCurrent(window, context) == 0)
            InstallRendererFor(RendererKind::Gl, error);
    }
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

PacingWindow& pacingWindow()
{
    static PacingWindow window;
    return window;
}

void drawFrame(int frame)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float x = static_cast<float>(frame % 100) / 100.0f - 0.5f;
    glBegin(GL_QUADS);
    glColor3f(0.2f, 0.6f, 1.0f);
    glVertex2f(x, -0.5f);
    glVertex2f(x + 0.5f, -0.5f);
    glVertex2f(x + 0.5f, 0.5f);
    glVertex2f(x, 0.5f);
    glEnd();
}

void BM_FramePacing(benchmark::State& state)
{
    PacingWindow& pacing = pacingWindow();
    if (!pacing.context) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    WindowVsync = state.range(0) != 0;
    const int interval = ApplySwapInterval();
    SDL_DisplayMode mode{};
    SDL_GetCurrentDisplayMode(0, &mode);
    const double refreshHz = mode.refresh_rate > 0 ? mode.refresh_rate : 60.0;

    std::vector<double> intervals;
    intervals.reserve(frames);
    for (auto _ : state) {
        intervals.clear();
        Clock::time_point last{};
        for (int frame = 0; frame < settleFrames + frames; ++frame) {
            drawFrame(frame);
            SDL_GL_SwapWindow(pacing.window);
            glFinish();
            const Clock::time_point now = Clock::now();
            if (frame > settleFrames)
                intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        }
    }
    double sum = 0;
    for (double value : intervals)
        sum += value;
    const double mean = sum / static_cast<double>(intervals.size());
    double squares = 0;
    for (double value : intervals)
        squares += (value - mean) * (value - mean);
    state.counters["mean_interval_ms"] = mean;
    state.counters["stddev_ms"] = std::sqrt(squares / static_cast<double>(intervals.size()));
    state.counters["swap_interval"] = interval;
    state.counters["refresh_period_ms"] = 1000.0 / refreshHz;
    state.SetLabel(SDL_GetCurrentVideoDriver());
}

} // namespace

BENCHMARK(BM_FramePacing)->ArgName("vsync")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// Frame time of the bundled show as capture draws it at 1280 x 720: the show loaded by
// the player's own script loader into an off-screen context, then played on a clock that
// counts frames at 30 per second, each frame split into evaluation (Scene::evaluateNodes),
// drawing (the rest of the frame up to glFinish) and read-back (glReadPixels); once drawn by
// the gl renderer and once by the gles2 renderer. Beside them, a frame that only clears and
// reads back. BENCH_SHOW_SECONDS limits the show time played (default: the whole show).
#include "demo/playback.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/desktop_platform.h"
#include "desktop/offscreen_context.h"
#include "desktop/shell_state.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "gpu/viewport.h"

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int frameWidth = 1280;
constexpr int frameHeight = 720;
constexpr int framesPerSecond = 30;

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The off-screen window and context capture draws into, for one renderer, with the show
// loaded into it.
struct LoadedShow {
    explicit LoadedShow(RendererKind kind_) : kind(kind_)
    {
        if (!context.create("show frame bench", frameWidth, frameHeight, 0, kind) ||
            (kind == RendererKind::Gl && !LoadExtensions())) {
            error = context.problem().empty() ? "no off-screen OpenGL context with multitexture" : context.problem();
            return;
        }
        InitGLState(frameWidth, frameHeight);
        DataFolder folder;
        std::string problem;
        if (!folder.open(TALDREX_BUNDLED_SHOW, true, problem)) {
            error = "cannot open the bundled show's folder " TALDREX_BUNDLED_SHOW;
            return;
        }
        demo = std::make_unique<Show>(folder);
        NoSound = 1;
        SoundStream* stream = nullptr;
        if (!demo->LoadScript(Desktop(), stream)) {
            error = "the bundled show's script.txt cannot be read";
            return;
        }
        for (const TimelineEntry& part : demo->Timeline) {
            std::unique_ptr<Scene>* scene = demo->SceneRegistry.find(part.sceneName);
            if (!scene || (*scene)->children.size() == 0)
                missingScenes += (missingScenes.empty() ? "" : " ") + part.sceneName;
        }
        ready = true;
    }
    ~LoadedShow()
    {
        // The show's textures and stored drawings go while their context is current.
        demo.reset();
    }

    RendererKind kind;
    OffscreenContext context;
    std::unique_ptr<Show> demo;
    bool ready = false;
    std::string error;
    std::string missingScenes; // scenes of the timeline that loaded no nodes
};

// The show loaded for kind; one renderer's context at a time, the other's released first.
LoadedShow& show(RendererKind kind = RendererKind::Gl)
{
    static std::unique_ptr<LoadedShow> loaded;
    if (!loaded || loaded->kind != kind) {
        loaded.reset();
        loaded = std::make_unique<LoadedShow>(kind);
    }
    return *loaded;
}

// Mean and 99th percentile of a series of milliseconds.
void report(benchmark::State& state, const std::string& name, std::vector<double> values)
{
    if (values.empty())
        return;
    double sum = 0;
    for (double v : values)
        sum += v;
    std::sort(values.begin(), values.end());
    size_t p99 = std::min(values.size() - 1, static_cast<size_t>(static_cast<double>(values.size()) * 0.99));
    state.counters[name + "_mean_ms"] = sum / static_cast<double>(values.size());
    state.counters[name + "_p99_ms"] = values[p99];
}

// Plays the timeline on a frame-counted clock, as capture does, timing each frame's phases.
class TimedHost : public PlaybackHost {
public:
    TimedHost(LoadedShow& loaded, int lastMs)
        : loaded_(loaded), lastMs_(lastMs), pixels_(static_cast<size_t>(frameWidth) * frameHeight * 4)
    {
    }

    int startClock() override { return 0; }
    int readClock() override { return static_cast<int>(frame_ * 1000 / framesPerSecond); }
    void restartClock() override {}
    bool escapeDown() override { return lastMs_ >= 0 && frame_ * 1000 / framesPerSecond > lastMs_; }

    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        ++frame_;
        std::unique_ptr<Scene>* scene = loaded_.demo->SceneRegistry.find(part.sceneName);
        Clock::time_point start = Clock::now();
        if (scene) {
            SelectCamera(**scene, part.cameraName);
            (*scene)->evaluateNodes(partTime);
        }
        Clock::time_point evaluated = Clock::now();
        SetViewport(ScreenWidth, ScreenHeight);
        loaded_.demo->DrawPart(part, partTime, ScreenWidth, ScreenHeight);
        glFinish();
        Clock::time_point drawn = Clock::now();
        ActiveRenderer().pixelStorei(GL_PACK_ALIGNMENT, 1);
        ActiveRenderer().readPixels(0, 0, frameWidth, frameHeight, pixels_.data());
        Clock::time_point read = Clock::now();
        benchmark::DoNotOptimize(pixels_.data());

        double evaluation = milliseconds(evaluated - start);
        evaluation_.push_back(evaluation);
        // The frame's own renderFrame evaluates the nodes once more; that share is the
        // evaluation's, not the drawing's.
        drawing_.push_back(std::max(0.0, milliseconds(drawn - evaluated) - evaluation));
        readBack_.push_back(milliseconds(read - drawn));
        frame_ms_.push_back(milliseconds(read - evaluated));
    }

    void report(benchmark::State& state) const
    {
        ::report(state, "evaluation", evaluation_);
        ::report(state, "drawing", drawing_);
        ::report(state, "readback", readBack_);
        ::report(state, "frame", frame_ms_);
        double evaluation = 0, frame = 0;
        for (size_t i = 0; i < evaluation_.size(); ++i) {
            evaluation += evaluation_[i];
            frame += frame_ms_[i];
        }
        state.counters["evaluation_share"] = frame > 0 ? evaluation / frame : 0;
        state.counters["frames"] = static_cast<double>(frame_);
    }

private:
    LoadedShow& loaded_;
    int lastMs_;
    long long frame_ = 0;
    std::vector<unsigned char> pixels_;
    std::vector<double> evaluation_, drawing_, readBack_, frame_ms_;
};

int showLimitMs()
{
    const char* seconds = std::getenv("BENCH_SHOW_SECONDS");
    return seconds && *seconds ? static_cast<int>(std::atof(seconds) * 1000) : -1;
}

void showFrames(benchmark::State& state, RendererKind kind)
{
    LoadedShow& loaded = show(kind);
    if (!loaded.ready) {
        state.SkipWithError(loaded.error.c_str());
        return;
    }
    if (!loaded.missingScenes.empty())
        state.SetLabel("scenes without nodes: " + loaded.missingScenes);
    for (auto _ : state) {
        TimedHost host(loaded, showLimitMs());
        PlayTimeline(loaded.demo->Timeline, false, host);
        host.report(state);
    }
    if (ActiveRenderer().takeError() != GL_NO_ERROR)
        state.SkipWithError("OpenGL reported an error");
}

void BM_ShowFrames(benchmark::State& state) { showFrames(state, RendererKind::Gl); }
BENCHMARK(BM_ShowFrames)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The least a captured frame costs: clear the picture and read it back.
void BM_ClearAndReadBack(benchmark::State& state)
{
    if (!show().ready) {
        state.SkipWithError(show().error.c_str());
        return;
    }
    std::vector<unsigned char> pixels(static_cast<size_t>(frameWidth) * frameHeight * 4);
    std::vector<double> frames;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        SetViewport(ScreenWidth, ScreenHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, frameWidth, frameHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        frames.push_back(milliseconds(Clock::now() - start));
        benchmark::DoNotOptimize(pixels.data());
    }
    report(state, "frame", frames);
}
BENCHMARK(BM_ClearAndReadBack)->Iterations(600)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same show drawn by the gles2 renderer, after the gl renderer's runs.
void BM_ShowFramesGles2(benchmark::State& state) { showFrames(state, RendererKind::Gles2); }
BENCHMARK(BM_ShowFramesGles2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

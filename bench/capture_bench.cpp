// Capture throughput of the bundled show, in frames per second of the capture loop (from
// the first frame to the last file closed, as the player's summary line measures it):
// PNG frames and video at 1280x720/30 and 1920x1080/60, each written by the pipelined
// capture and by one thread doing everything in turn (--threads 1, the capture as it was
// before), beside the same loop drawing only (no read-back, no output), and the peak
// resident memory of the video capture over two spans, to show that it stays flat.
// CPU times (the player's with its ffmpeg's) are given too: on a machine busy with other
// work the rates follow the CPU time each capture needs. BENCH_CAPTURE_720_SECONDS
// (default 20), BENCH_CAPTURE_1080_SECONDS (default 5) and BENCH_CAPTURE_LONG_SECONDS
// (default 10) set the show time captured.
#include "demo/playback.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/desktop_platform.h"
#include "desktop/offscreen_context.h"
#include "desktop/shell_state.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/viewport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Format {
    const char* name;
    int width;
    int height;
    int fps;
    const char* secondsVariable;
    double defaultSeconds;
};

const Format formats[] = {
    {"720p30", 1280, 720, 30, "BENCH_CAPTURE_720_SECONDS", 20},
    {"1080p60", 1920, 1080, 60, "BENCH_CAPTURE_1080_SECONDS", 5},
};

double secondsOf(const char* variable, double fallback)
{
    const char* value = std::getenv(variable);
    return value && *value ? std::atof(value) : fallback;
}

// The show played on a frame clock up to lastMs, each frame drawn and finished, nothing read.
class DrawOnlyHost : public PlaybackHost {
public:
    DrawOnlyHost(Show& show, int fps, int lastMs) : show_(show), fps_(fps), lastMs_(lastMs) {}
    int startClock() override { return 0; }
    int readClock() override { return static_cast<int>(frame_ * 1000 / fps_); }
    void restartClock() override {}
    bool escapeDown() override { return frame_ * 1000 / fps_ > lastMs_; }
    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        SetViewport(ScreenWidth, ScreenHeight);
        show_.DrawPart(part, partTime, ScreenWidth, ScreenHeight);
        glFinish();
        ++frame_;
    }
    long long frames() const { return frame_; }

private:
    Show& show_;
    int fps_;
    int lastMs_;
    long long frame_ = 0;
};

// Runs the drawing-only loop in a child process (each size needs a context and a show
// of its own) and returns its frames per second, -1 when it failed, and its CPU time.
double drawOnlyRate(const Format& format, int lastMs, double& cpuSeconds)
{
    int ends[2];
    if (pipe(ends) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        double rate = -1;
        OffscreenContext context;
        DataFolder folder;
        std::string problem;
        if (context.create("capture bench", format.width, format.height, 0) && LoadExtensions() &&
            folder.open(TALDREX_BUNDLED_SHOW, true, problem)) {
            MainWindow = context.window();
            RenderContext = context.context();
            InitGLState(format.width, format.height);
            NoSound = 1;
            Show show(folder);
            SoundStream* stream = nullptr;
            if (show.LoadScript(Desktop(), stream)) {
                DrawOnlyHost host(show, format.fps, lastMs);
                const Clock::time_point start = Clock::now();
                PlayTimeline(show.Timeline, false, host);
                rate = static_cast<double>(host.frames()) /
                    std::chrono::duration<double>(Clock::now() - start).count();
            }
        }
        const ssize_t written = write(ends[1], &rate, sizeof rate);
        _exit(written == sizeof rate ? 0 : 1);
    }
    close(ends[1]);
    double rate = -1;
    if (child < 0 || read(ends[0], &rate, sizeof rate) != sizeof rate)
        rate = -1;
    close(ends[0]);
    if (child > 0) {
        rusage usage{};
        wait4(child, nullptr, 0, &usage);
        cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return rate;
}

struct CaptureRun {
    bool ok = false;
    double frames = 0;
    double seconds = 0;      // the capture loop, from the player's summary line
    double peakMb = 0;       // peak resident memory of the player itself
    double ffmpegPeakMb = 0; // and of its ffmpeg
    double cpuSeconds = 0;   // the player's CPU time (ffmpeg's not included)
    std::string error;
};

// Runs the player with arguments, its standard error kept to read the summary line.
CaptureRun runPlayer(const std::vector<std::string>& arguments)
{
    CaptureRun run;
    const std::string log = std::filesystem::temp_directory_path() / "taldrex-capture-bench.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {TALDREX_PLAYER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    all.push_back(TALDREX_BUNDLED_SHOW);
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, TALDREX_PLAYER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        run.error = "cannot start the player";
        return run;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ifstream in(log);
    std::string line, summary;
    while (std::getline(in, line)) {
        if (line.find(" frames (") != std::string::npos && line.rfind("taldrex: ", 0) == 0)
            summary = line;
    }
    std::remove(log.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(summary.c_str(), "taldrex: %lf frames (%*f s of show) in %lf s", &run.frames, &run.seconds) != 2 ||
        summary.find("peak memory ") == std::string::npos) {
        run.error = "the capture failed: " + summary;
        return run;
    }
    std::sscanf(summary.c_str() + summary.find("peak memory "), "peak memory %lf MB, ffmpeg %lf MB", &run.peakMb,
        &run.ffmpegPeakMb);
    run.ok = true;
    return run;
}

void BM_DrawOnly(benchmark::State& state, const Format& format)
{
    const double seconds = secondsOf(format.secondsVariable, format.defaultSeconds);
    for (auto _ : state) {
        double cpuSeconds = 0;
        const double rate = drawOnlyRate(format, static_cast<int>(seconds * 1000), cpuSeconds);
        if (rate <= 0) {
            state.SkipWithError("the drawing-only loop failed");
            return;
        }
        state.counters["fps"] = rate;
        state.counters["cpu_seconds"] = cpuSeconds;
    }
    state.counters["show_seconds"] = seconds;
}

// output: "png" or "video"; threads 1 for the capture in turn, 0 for the pipelined one.
void BM_Capture(benchmark::State& state, const Format& format, const std::string& output, int threads,
                double seconds)
{
    const std::string scratch = std::filesystem::temp_directory_path() / "taldrex-capture-bench";
    for (auto _ : state) {
        std::filesystem::remove_all(scratch);
        std::filesystem::create_directories(scratch);
        std::vector<std::string> arguments = {"--size", std::to_string(format.width) + "x" + std::to_string(format.height),
            "--fps", std::to_string(format.fps), "--to", std::to_string(static_cast<int>(seconds * 1000))};
        if (output == "png")
            arguments.insert(arguments.end(), {"--capture", scratch + "/frames"});
        else
            arguments.insert(arguments.end(), {"--video", scratch + "/show.mp4"});
        if (threads > 0)
            arguments.insert(arguments.end(), {"--threads", std::to_string(threads)});
        const CaptureRun run = runPlayer(arguments);
        std::filesystem::remove_all(scratch);
        if (!run.ok) {
            state.SkipWithError(run.error.c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        state.counters["fps"] = run.frames / run.seconds;
        state.counters["frames"] = run.frames;
        state.counters["peak_mb"] = run.peakMb;
        state.counters["ffmpeg_peak_mb"] = run.ffmpegPeakMb;
        state.counters["cpu_seconds"] = run.cpuSeconds;
    }
    state.counters["show_seconds"] = seconds;
}

void registerAll()
{
    for (const Format& format : formats) {
        const double seconds = secondsOf(format.secondsVariable, format.defaultSeconds);
        benchmark::RegisterBenchmark((std::string("BM_DrawOnly/") + format.name).c_str(),
            [&format](benchmark::State& state) { BM_DrawOnly(state, format); })
            ->Iterations(1)->Unit(benchmark::kSecond);
        for (const char* output : {"png", "video"}) {
            for (int threads : {1, 0}) {
                const std::string name = std::string("BM_Capture/") + format.name + "/" + output +
                    (threads == 1 ? "/one_thread" : "/pipelined");
                benchmark::RegisterBenchmark(name.c_str(), [&format, output, threads, seconds](benchmark::State& state) {
                    BM_Capture(state, format, output, threads, seconds);
                })->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
            }
        }
    }
    // Memory over a longer span of the same video capture, beside the short one above.
    static const Format& large = formats[1];
    const double longSeconds = secondsOf("BENCH_CAPTURE_LONG_SECONDS", 10);
    benchmark::RegisterBenchmark("BM_Capture/1080p60/video/pipelined_long",
        [longSeconds](benchmark::State& state) { BM_Capture(state, large, "video", 0, longSeconds); })
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}

} // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

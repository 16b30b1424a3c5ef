#include "player/capture.h"

#include "common/data_file.h"
#include "common/printable_text.h"
#include "demo/frame_pipeline.h"
#include "demo/part_timing.h"
#include "demo/playback.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "demo/video_encoding.h"
#include "desktop/child_process.h"
#include "desktop/desktop_platform.h"
#include "desktop/offscreen_context.h"
#include "desktop/stop_signals.h"
#include "desktop/window.h"
#include "gpu/frame_readback.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "gpu/viewport.h"
#include "graph/camera_node.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

// Frame k of the capture shows the clock at floor(k x 1000 / fps) ms.
long long frameTime(long long frame, int fps) { return frame * 1000 / fps; }

double megabytes(unsigned long long bytes) { return static_cast<double>(bytes) / 1e6; }

unsigned long long fileSize(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<unsigned long long>(info.st_size) : 0;
}

// The show on a frame-counted clock. Frames before --from are evaluated but not drawn,
// so every scene reaches --from in the same state as in a full capture. A drawn frame's
// read-back is started at once and collected a few frames later, then handed to the
// threads that write it.
class CaptureHost : public PlaybackHost {
public:
    CaptureHost(Show& show, const CaptureOptions& options, const CaptureSpan& span, FrameReadback& readback,
                FramePipeline& pipeline)
        : show_(show), options_(options), span_(span), readback_(readback), pipeline_(pipeline)
    {
        started_ = std::chrono::steady_clock::now();
    }

    int startClock() override { return 0; }
    // Read after frame k - 1 was drawn, so it is the time of frame k.
    int readClock() override { return clampMs(frameTime(frame_, options_.fps)); }
    // Capture plays the timeline once; it never loops.
    void restartClock() override {}

    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        if (frameTime(frame_, options_.fps) < options_.fromMs)
            show_.EvaluatePart(part, partTime);
        else
            draw(part, partTime);
        ++frame_;
    }

    // Capture ends after --to (a frame beyond it is never drawn), on a failure, or when
    // SIGINT or SIGTERM asks it to stop.
    bool escapeDown() override
    {
        return failed() || StopSignal() != 0 ||
            (options_.toMs >= 0 && frameTime(frame_, options_.fps) > options_.toMs);
    }

    // Hands over the frames still being read back.
    void drain()
    {
        while (readback_.due(true))
            handOver();
    }

    bool failed() const { return pipeline_.failed() || readback_.failed(); }

    // The size of what was written so far, as the progress and summary lines show it.
    std::string outputSize() const
    {
        char text[96] = "";
        if (!options_.videoFile.empty() && !options_.outputDir.empty())
            std::snprintf(text, sizeof text, "video %.1f MB, frames %.1f MB", megabytes(fileSize(options_.videoFile)),
                megabytes(pipeline_.frameBytes()));
        else if (!options_.videoFile.empty())
            std::snprintf(text, sizeof text, "video %.1f MB", megabytes(fileSize(options_.videoFile)));
        else
            std::snprintf(text, sizeof text, "frames %.1f MB", megabytes(pipeline_.frameBytes()));
        return text;
    }

    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

private:
    static int clampMs(long long ms) { return ms > INT_MAX ? INT_MAX : static_cast<int>(ms); }

    void draw(const TimelineEntry& part, float partTime)
    {
        SetViewport(options_.width, options_.height);
        show_.DrawPart(part, partTime, options_.width, options_.height);
        readback_.start(frame_);
        if (GLenum error = ActiveRenderer().takeError(); error != GL_NO_ERROR)
            std::fprintf(stderr, "taldrex: OpenGL error 0x%04x in frame %lld\n", error, frame_);
        while (readback_.due(false))
            handOver();
        ++drawn_;
        reportProgress();
    }

    void handOver()
    {
        unsigned char* pixels = pipeline_.acquire();
        pipeline_.submit(readback_.collect(pixels), pixels);
    }

    // One line, rewritten in place on a terminal; in a log, a line every 30 frames.
    void reportProgress()
    {
        const bool terminal = isatty(STDERR_FILENO);
        const double now = seconds();
        if (terminal ? now - lastReport_ < 0.25 : drawn_ % 30 != 0)
            return;
        lastReport_ = now;
        const long long done = pipeline_.framesWritten();
        const double rate = now > 0 ? done / now : 0;
        const long long total = std::max(span_.count(), done);
        const double left = rate > 0 ? (total - done) / rate : 0;
        std::fprintf(stderr, "%sframe %lld/%lld, %.1f fps, %.0f s left, %s%s", terminal ? "\r" : "", done, total, rate,
            left, outputSize().c_str(), terminal ? "   " : "\n");
    }

    Show& show_;
    const CaptureOptions& options_;
    const CaptureSpan span_;
    FrameReadback& readback_;
    FramePipeline& pipeline_;
    long long frame_ = 0;
    long long drawn_ = 0;
    double lastReport_ = -1;
    std::chrono::steady_clock::time_point started_;
};

// Starts ffmpeg encoding raw frames from its standard input with the soundtrack from the
// first written frame's time on. The soundtrack is opened here as every show file is and
// handed over open, so ffmpeg reads exactly the file the player accepted. Returns false,
// reported, when ffmpeg cannot be found or started.
bool startVideo(const Show& show, const CaptureOptions& options, const CaptureSpan& span, ChildProcess& ffmpeg)
{
    const std::string program = FindProgram("ffmpeg", std::getenv("PATH"));
    if (program.empty()) {
        std::fprintf(stderr, "taldrex: --video needs ffmpeg, which is not installed\n");
        return false;
    }
    VideoSettings settings;
    // An absolute name: ffmpeg would read a name starting with "-" as an option and one
    // like "pipe:..." as a protocol.
    std::error_code ignored;
    settings.file = std::filesystem::absolute(options.videoFile, ignored).string();
    settings.width = options.width;
    settings.height = options.height;
    settings.fps = options.fps;
    settings.crf = options.crf;
    settings.preset = options.preset;
    settings.firstFrame = span.first;
    settings.frames = span.count();
    std::vector<int> passedFiles;
    DataFile soundtrack;
    if (!show.SoundtrackPath.empty()) {
        soundtrack = show.folder().openFile(show.SoundtrackPath, SoundtrackFileLimit);
        if (soundtrack) {
            passedFiles.push_back(fileno(soundtrack.file.get()));
            settings.soundtrack = "/dev/fd/3";
        } else {
            std::fprintf(stderr, "taldrex: %s: %s; the video has no sound\n", PrintableText(soundtrack.path).c_str(),
                soundtrack.problem.c_str());
        }
    }
    if (!ffmpeg.start(program, VideoArguments(settings), passedFiles)) {
        std::fprintf(stderr, "taldrex: %s: cannot be started: %s\n", program.c_str(), std::strerror(errno));
        return false;
    }
    // Whole rows at a time into the pipe.
    std::setvbuf(ffmpeg.input(), nullptr, _IOFBF, 1 << 20);
    return true;
}

int threadCount(const CaptureOptions& options)
{
    if (options.threads > 0)
        return options.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

CaptureSpan PlanCapture(const CaptureOptions& options, long long showEndMs)
{
    long long endMs = showEndMs;
    if (options.toMs >= 0 && options.toMs < endMs)
        endMs = options.toMs;
    CaptureSpan span;
    span.first = (static_cast<long long>(options.fromMs) * options.fps + 999) / 1000;
    // The last k with floor(k x 1000 / fps) <= endMs.
    span.last = endMs < 0 ? -1 : ((endMs + 1) * options.fps - 1) / 1000;
    return span;
}

CaptureSpan PlanCapture(const CaptureOptions& options, const TimelineArray& timeline)
{
    return PlanCapture(options, timeline.empty() ? -1 : static_cast<long long>(ShowEnd(timeline)));
}

int RunCapture(const CaptureOptions& options, Show& show)
{
    std::error_code error;
    if (!options.outputDir.empty()) {
        std::filesystem::create_directories(options.outputDir, error);
        if (error || access(options.outputDir.c_str(), W_OK) != 0) {
            std::fprintf(stderr, "taldrex: %s: cannot write frames there: %s\n",
                PrintableText(options.outputDir).c_str(), error ? error.message().c_str() : std::strerror(errno));
            return 1;
        }
    }

    OffscreenContext context;
    if (!context.create(WindowTitle, options.width, options.height, 0, options.renderer)) {
        std::fprintf(stderr, "taldrex: cannot create an off-screen OpenGL context: %s\n", context.problem().c_str());
        return 1;
    }
    if (ActiveRenderer().kind() == RendererKind::Gl && !LoadExtensions()) {
        std::fprintf(stderr, "taldrex: this OpenGL driver lacks the multitexture extension the show draws with\n");
        return 1;
    }
    InitGLState(options.width, options.height);

    // The clock is the frame count: nothing is played. The loading picture is drawn and
    // swapped off-screen, as in a window.
    DesktopPlatform offscreen(context.window(), options.width, options.height);
    SoundStream* stream = nullptr;
    if (!show.LoadScript(offscreen, stream)) {
        std::fprintf(stderr, "taldrex: script.txt: cannot be read\n");
        return 1;
    }
    const TimelineArray& timeline = show.Timeline;
    const CaptureSpan span = PlanCapture(options, timeline);

    // From the first frame on there is something to keep: a stop signal ends the capture
    // after the frames being written, and the video is finished so that it plays.
    CatchStopSignals();
    ChildProcess ffmpeg;
    if (!options.videoFile.empty() && !startVideo(show, options, span, ffmpeg))
        return 1;

    const int threads = threadCount(options);
    FrameOutputs outputs;
    outputs.width = options.width;
    outputs.height = options.height;
    outputs.frameDir = options.outputDir;
    outputs.video = ffmpeg.input();
    outputs.videoName = options.videoFile;
    outputs.threads = threads;
    FramePipeline pipeline(outputs);
    if (!pipeline.start()) {
        std::fprintf(stderr, "%s\n", pipeline.failure().c_str());
        return 1;
    }
    // One thread reads each frame at once, as it always did; with more, three reads are
    // in flight while the next frames are drawn.
    FrameReadback readback;
    readback.create(options.width, options.height, threads > 1 ? 3 : 0);

    CaptureHost host(show, options, span, readback, pipeline);
    PlayTimeline(show.Timeline, false, host);
    host.drain();
    pipeline.finish();
    if (isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
    if (pipeline.failed())
        std::fprintf(stderr, "%s\n", pipeline.failure().c_str());
    if (readback.failed())
        std::fprintf(stderr, "taldrex: a frame could not be read back from OpenGL\n");

    const bool videoFailed = !options.videoFile.empty() && ffmpeg.finish() != 0;
    if (videoFailed)
        std::fprintf(stderr, "taldrex: %s: ffmpeg could not write the video\n", PrintableText(options.videoFile).c_str());
    const double seconds = host.seconds();
    const long long written = pipeline.framesWritten();
    rusage own{}, children{};
    getrusage(RUSAGE_SELF, &own);
    getrusage(RUSAGE_CHILDREN, &children);
    char ffmpegMemory[48] = "";
    if (!options.videoFile.empty())
        std::snprintf(ffmpegMemory, sizeof ffmpegMemory, ", ffmpeg %ld MB", children.ru_maxrss / 1024);
    std::fprintf(stderr, "taldrex: %lld frames (%.2f s of show) in %.1f s, %.1f fps; %s; peak memory %ld MB%s\n",
        written, static_cast<double>(written) / options.fps, seconds, seconds > 0 ? written / seconds : 0.0,
        host.outputSize().c_str(), own.ru_maxrss / 1024, ffmpegMemory);
    if (StopSignal() != 0) {
        std::fprintf(stderr, "taldrex: stopped by %s after %lld frames\n", StopSignal() == SIGINT ? "SIGINT" : "SIGTERM",
            written);
        return StopSignalStatus();
    }
    return host.failed() || videoFailed ? 1 : 0;
}

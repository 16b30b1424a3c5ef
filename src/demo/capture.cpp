#include "demo/capture.h"

#include "app/child_process.h"
#include "app/gl.h"
#include "app/gl_extensions.h"
#include "app/offscreen_context.h"
#include "app/shell_state.h"
#include "app/stop_signals.h"
#include "app/viewport.h"
#include "app/window.h"
#include "common/data_file.h"
#include "common/printable_text.h"
#include "demo/playback.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "graph/camera_node.h"

#include <SDL.h>
#include <png.h>
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
#include <vector>

namespace {

// Frame k of the capture shows the clock at floor(k x 1000 / fps) ms.
long long frameTime(long long frame, int fps) { return frame * 1000 / fps; }

// The show on a frame-counted clock. Frames before --from are evaluated but not drawn,
// so every scene reaches --from in the same state as in a full capture.
class CaptureHost : public PlaybackHost {
public:
    CaptureHost(const CaptureOptions& options, FILE* video) : options_(options), video_(video)
    {
        pixels_.resize(static_cast<size_t>(options.width) * options.height * 4);
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
            simulate(part, partTime);
        else
            draw(part, partTime);
        ++frame_;
    }

    // Capture ends after --to (a frame beyond it is never drawn), on a failure, or when
    // SIGINT or SIGTERM asks it to stop.
    bool escapeDown() override
    {
        return failed_ || StopSignal() != 0 || (options_.toMs >= 0 && frameTime(frame_, options_.fps) > options_.toMs);
    }

    bool failed() const { return failed_; }
    long long written() const { return written_; }

private:
    static int clampMs(long long ms) { return ms > INT_MAX ? INT_MAX : static_cast<int>(ms); }

    void simulate(const TimelineEntry& part, float partTime)
    {
        std::unique_ptr<Scene>* scene = SceneRegistry.find(part.sceneName);
        if (!scene)
            return;
        SelectCamera(**scene, part.cameraName);
        (*scene)->evaluateNodes(partTime);
    }

    void draw(const TimelineEntry& part, float partTime)
    {
        SetViewport(ScreenWidth, ScreenHeight);
        DrawPart(part, partTime);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, options_.width, options_.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
        if (GLenum error = glGetError(); error != GL_NO_ERROR)
            std::fprintf(stderr, "taldrex: OpenGL error 0x%04x in frame %lld\n", error, frame_);

        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", frame_);
        std::string path = options_.outputDir + name;
        if (!WriteCapturedFrame(path, options_.width, options_.height, pixels_)) {
            std::fprintf(stderr, "\ntaldrex: %s: cannot write the frame: %s\n", PrintableText(path).c_str(), std::strerror(errno));
            failed_ = true;
            return;
        }
        if (video_ && !writeVideoFrame()) {
            std::fprintf(stderr, "\ntaldrex: ffmpeg stopped taking frames at frame %lld\n", frame_);
            failed_ = true;
            return;
        }
        ++written_;
        reportProgress();
    }

    // ffmpeg takes the frames top row first. Returns false when it no longer reads them.
    bool writeVideoFrame()
    {
        const size_t stride = static_cast<size_t>(options_.width) * 4;
        for (int row = options_.height - 1; row >= 0; --row) {
            if (std::fwrite(pixels_.data() + stride * row, 1, stride, video_) != stride)
                return false;
        }
        return true;
    }

    void reportProgress()
    {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        double rate = seconds > 0 ? written_ / seconds : 0;
        long long endMs = Timeline.empty() ? 0 : Timeline[Timeline.size() - 1].endTime;
        if (options_.toMs >= 0 && options_.toMs < endMs)
            endMs = options_.toMs;
        long long firstFrame = (static_cast<long long>(options_.fromMs) * options_.fps + 999) / 1000;
        long long lastFrame = endMs * options_.fps / 1000;
        long long total = std::max(lastFrame - firstFrame + 1, written_);
        double left = rate > 0 ? (total - written_) / rate : 0;
        if (isatty(STDERR_FILENO))
            std::fprintf(stderr, "\rframe %lld/%lld, %.1f fps, %.0f s left   ", written_, total, rate, left);
        else if (written_ % 30 == 0 || written_ == total)
            std::fprintf(stderr, "frame %lld/%lld, %.1f fps, %.0f s left\n", written_, total, rate, left);
    }

    const CaptureOptions& options_;
    FILE* video_;
    std::vector<unsigned char> pixels_;
    long long frame_ = 0;
    long long written_ = 0;
    bool failed_ = false;
    std::chrono::steady_clock::time_point started_;
};

// Makes the off-screen window the shell's window for as long as the capture runs, so the
// loading picture and the show draw and swap there.
class ShellWindowScope {
public:
    explicit ShellWindowScope(const OffscreenContext& context)
    {
        MainWindow = context.window();
        RenderContext = context.context();
    }
    ~ShellWindowScope()
    {
        MainWindow = nullptr;
        RenderContext = nullptr;
    }
};

// Starts ffmpeg muxing raw frames from its standard input with the soundtrack from
// fromMs on. The soundtrack is opened here as every show file is and handed over open,
// so ffmpeg reads exactly the file the player accepted. Returns false, reported, when
// ffmpeg cannot be found or started.
bool startVideo(const CaptureOptions& options, ChildProcess& ffmpeg)
{
    const std::string program = FindProgram("ffmpeg", std::getenv("PATH"));
    if (program.empty()) {
        std::fprintf(stderr, "taldrex: --video needs ffmpeg, which is not installed\n");
        return false;
    }
    std::vector<std::string> args = {"ffmpeg", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba",
        "-s", std::to_string(options.width) + "x" + std::to_string(options.height),
        "-r", std::to_string(options.fps), "-i", "-"};
    std::vector<int> passedFiles;
    DataFile soundtrack;
    if (!SoundtrackPath.empty()) {
        soundtrack = OpenDataFile(SoundtrackPath, SoundtrackFileLimit);
        if (soundtrack) {
            char start[32];
            std::snprintf(start, sizeof start, "%.3f", options.fromMs / 1000.0);
            passedFiles.push_back(fileno(soundtrack.file.get()));
            args.insert(args.end(), {"-ss", start, "-i", "/dev/fd/3", "-c:a", "aac", "-shortest"});
        } else {
            std::fprintf(stderr, "taldrex: %s: %s; the video has no sound\n", PrintableText(soundtrack.path).c_str(),
                soundtrack.problem.c_str());
        }
    }
    // An absolute name: ffmpeg would read a name starting with "-" as an option and one
    // like "pipe:..." as a protocol.
    std::error_code ignored;
    const std::string output = std::filesystem::absolute(options.videoFile, ignored).string();
    args.insert(args.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", output});
    if (!ffmpeg.start(program, args, passedFiles)) {
        std::fprintf(stderr, "taldrex: %s: cannot be started: %s\n", program.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

bool WriteCapturedFrame(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // Fast settings: one filter for every row, the one rendered frames suit best,
        // instead of trying all five per row, and the quickest compression level. The
        // files come out about a tenth larger and are written in about half the time.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_set_compression_level(png, 1);
        png_write_info(png, info);
        const size_t stride = static_cast<size_t>(width) * 4;
        for (int row = height - 1; row >= 0; --row)
            png_write_row(png, pixels.data() + stride * row);
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

int RunCapture(const CaptureOptions& options)
{
    std::error_code error;
    std::filesystem::create_directories(options.outputDir, error);
    if (error || access(options.outputDir.c_str(), W_OK) != 0) {
        std::fprintf(stderr, "taldrex: %s: cannot write frames there: %s\n", PrintableText(options.outputDir).c_str(),
            error ? error.message().c_str() : std::strerror(errno));
        return 1;
    }

    OffscreenContext context;
    if (!context.create(WindowTitle, options.width, options.height, 0)) {
        std::fprintf(stderr, "taldrex: cannot create an off-screen OpenGL context: %s\n", SDL_GetError());
        return 1;
    }
    ShellWindowScope shellWindow(context);
    if (!LoadExtensions()) {
        std::fprintf(stderr, "taldrex: this OpenGL driver lacks the multitexture extension the show draws with\n");
        return 1;
    }
    InitGLState(options.width, options.height);

    // The clock is the frame count: nothing is played.
    NoSound = 1;
    SoundStream* stream = nullptr;
    if (!LoadScript(stream)) {
        std::fprintf(stderr, "taldrex: script.txt: cannot be read\n");
        return 1;
    }

    // From the first frame on there is something to keep: a stop signal ends the capture
    // after the frame being written, and the video is finished so that it plays.
    CatchStopSignals();
    ChildProcess ffmpeg;
    if (!options.videoFile.empty() && !startVideo(options, ffmpeg))
        return 1;

    CaptureHost host(options, ffmpeg.input());
    PlayTimeline(Timeline, false, host);
    if (isatty(STDERR_FILENO))
        std::fputc('\n', stderr);

    const bool videoFailed = !options.videoFile.empty() && ffmpeg.finish() != 0;
    if (videoFailed)
        std::fprintf(stderr, "taldrex: %s: ffmpeg could not write the video\n", PrintableText(options.videoFile).c_str());
    if (StopSignal() != 0) {
        std::fprintf(stderr, "taldrex: stopped by %s after %lld frames\n", StopSignal() == SIGINT ? "SIGINT" : "SIGTERM",
            host.written());
        return StopSignalStatus();
    }
    return host.failed() || videoFailed ? 1 : 0;
}

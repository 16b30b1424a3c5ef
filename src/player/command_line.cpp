#include "player/command_line.h"

#include "demo/video_encoding.h"
#include "desktop/display_choices.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#ifndef TALDREX_VERSION
#define TALDREX_VERSION "unknown"
#endif

namespace {

// The options of how and where the show plays. The mode's name, the vsync choice and the
// tempo are read into modeName, vsync and bpm, to be interpreted once parsing is done.
void addShowOptions(CLI::App& app, CommandLine& options, std::string& modeName, std::string& vsync, std::string& bpm)
{
    app.add_option("DEMO_DIR", options.demoDir,
                   "folder holding script.txt and its data, or an archive of one (.zip, .tar, .tar.gz, .tgz, "
                   ".tar.xz) read in place (default: the current folder when it holds a script.txt, else the "
                   "bundled show)");
    app.add_option("--mode", modeName,
                   "skip the settings dialog: a 640x480 window, fullscreen at 640x480, 800x600 or 1024x768, "
                   "fullscreen at the desktop's own resolution, or a window of any other size WxH")
        ->type_name("window|640x480|800x600|1024x768|desktop|WxH");
    app.add_flag("--no-sound", options.noSound, "play without sound, timed by the system clock");
    app.add_flag("--loop", options.loop, "start the show again when it ends");

    app.add_option("--display", options.display, "the monitor to show on, 0 the first (default 0)")
        ->check(CLI::Range(0, 63))->type_name("N");
    app.add_option("--vsync", vsync,
        "on: frames wait for the display's refresh (adaptive where the driver has it); off: draw unlimited")
        ->check(CLI::IsMember({"on", "off"}, CLI::ignore_case))->type_name("on|off");
    app.add_option("--audio-delay", options.audioDelayMs,
        "shift the picture against the music, in ms: positive delays the sound (picture earlier), "
        "negative delays the picture, for a sound path with latency (default: minus the device buffer, "
        + std::to_string(DefaultAudioDelayMs) + ")")
        ->check(CLI::Range(-60000, 60000))->type_name("MS");

    app.add_flag("--author", options.author,
        "author mode: no dialog, a window (640x480 unless --mode says otherwise) where Space pauses, the "
        "arrows seek, PageUp/PageDown jump between parts, - and = change the speed, with a status bar "
        "(H hides it) and the folder's problems on screen; the timeline is edited there (drag a part's end, "
        "C cuts, J joins, 1-9 cut live, V/B/O step the camera, background, overlay, Ctrl+Z undoes) and "
        "Ctrl+S saves script.txt; see the README for every key");
    app.add_option("--bpm", bpm,
        "author mode: the music's tempo in beats per minute (decimal), for the beat grid on the timeline, "
        "bar.beat in the status bar, Ctrl+arrows stepping by beat (Ctrl+Shift by bar) and edits snapped to "
        "beats (Alt held: not snapped); auto estimates it from the music and prints what it found")
        ->type_name("N|auto");
    app.add_option("--beat-offset", options.beatOffsetMs,
        "author mode: where the first beat of a bar falls on the show's clock, in ms (default 0)")
        ->check(CLI::Range(-3600000.0, 3600000.0))->type_name("MS");
    app.add_flag("--check", options.check,
        "check the demo folder without showing anything: one line per problem, exit 1 when there is any");
    app.add_flag("--allow-outside", options.allowOutside,
        "let the script name files outside the demo folder (through .. or symbolic links), "
        "for makers who share assets between folders");

    app.add_option("--screenshot-dir", options.screenshotDir,
        "where S writes the picture shown in the window, as taldrex-SHOW-MMmSS.mmms.png (a name already "
        "taken gets -2, -3...; default: the current folder)")
        ->type_name("DIR");
    app.add_option("--texture-memory", options.textureMemoryMb,
        "most memory the show's pictures may take, in MiB: each picture's decoded pixels, the copies made "
        "while its texture is built and the texture's levels as the driver keeps them (default: the lesser "
        "of 2048 and a quarter of this machine's memory, here " +
            std::to_string(DefaultTextureMemoryMb(MachineMemory())) +
        "); a picture past it is left out and reported")
        ->type_name("MB")->check(CLI::Range(1LL, 1LL << 20));
}

// The options of a capture; the picture size is read into size. Returns the settings
// that mean something only with --capture or --video.
std::vector<CLI::Option*> addCaptureOptions(CLI::App& app, CaptureOptions& capture, std::string& size)
{
    app.add_option("--capture", capture.outputDir,
        "play the show off-screen on a frame clock and write its frames as DIR/frame-NNNNNN.png")
        ->type_name("DIR");
    app.add_option("--video", capture.videoFile,
        "play the show off-screen on a frame clock into a video with its soundtrack (needs ffmpeg): "
        "H.264 + AAC in MP4, or in Matroska for FILE.mkv, VP9 + Opus for FILE.webm")
        ->type_name("FILE");
    return {
        app.add_option("--fps", capture.fps, "capture: frames per second of show time (default 30)")
            ->check(CLI::Range(1, 1000)),
        app.add_option("--size", size, "capture: picture size (default 1280x720; even, up to 3840x2160, for --video)")
            ->type_name("WxH"),
        app.add_option("--from", capture.fromMs, "capture: first show time written, in ms")
            ->check(CLI::NonNegativeNumber),
        app.add_option("--to", capture.toMs, "capture: last show time written, in ms")
            ->check(CLI::NonNegativeNumber),
        app.add_option("--crf", capture.crf, "video: constant quality, 0 to 51, lower is better and larger (default 18)")
            ->check(CLI::Range(0, 51)),
        app.add_option("--preset", capture.preset, "video: encoder speed, ultrafast to veryslow (default medium)")
            ->check(CLI::IsMember(VideoPresets()).description(""))->type_name("NAME"),
        app.add_option("--threads", capture.threads,
            "capture: threads writing frames (default one per processor; 1 does everything in turn)")
            ->check(CLI::Range(1, 64)),
    };
}

// Completes the capture options once parsed: output paths made absolute, the size read.
// Returns 2, after printing why, when a capture setting comes without a capture or the
// size is malformed or not one a video can take.
std::optional<int> finishCapture(const std::vector<CLI::Option*>& captureSettings, CaptureOptions& capture,
    const std::string& size)
{
    for (const CLI::Option* setting : captureSettings) {
        if (setting->count() > 0 && !capture.wanted()) {
            std::fprintf(stderr, "%s needs --capture or --video\n", setting->get_name().c_str());
            return 2;
        }
    }
    // The program changes into the demo folder; paths given here are meant from where it started.
    std::error_code ignored;
    if (!capture.outputDir.empty())
        capture.outputDir = std::filesystem::absolute(capture.outputDir, ignored).string();
    if (!capture.videoFile.empty())
        capture.videoFile = std::filesystem::absolute(capture.videoFile, ignored).string();
    if (!size.empty()) {
        int width = 0, height = 0;
        char rest = 0;
        if (std::sscanf(size.c_str(), "%dx%d%c", &width, &height, &rest) != 2 || width < 16 || height < 16 ||
            width > 8192 || height > 8192) {
            std::fprintf(stderr, "--size: expected WIDTHxHEIGHT between 16x16 and 8192x8192, got \"%s\"\n",
                size.c_str());
            return 2;
        }
        capture.width = width;
        capture.height = height;
    }
    // The video's 4:2:0 colour halves both sides; larger pictures than 4K are not encoded.
    if (!capture.videoFile.empty() &&
        (capture.width % 2 != 0 || capture.height % 2 != 0 || capture.width > 3840 || capture.height > 2160)) {
        std::fprintf(stderr, "--size: a video needs an even size up to 3840x2160, got %dx%d\n", capture.width,
            capture.height);
        return 2;
    }
    return std::nullopt;
}

// Makes --screenshot-dir absolute. Returns 2, after printing why, when it comes with a
// run that shows no window or names no folder.
std::optional<int> finishScreenshotDir(CommandLine& options)
{
    if (options.screenshotDir.empty())
        return std::nullopt;
    if (options.check || options.capture.wanted()) {
        std::fprintf(stderr, "--screenshot-dir is for a run in a window: not with %s\n",
            options.check ? "--check" : "--capture or --video");
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(options.screenshotDir, error)) {
        std::fprintf(stderr, "--screenshot-dir: \"%s\" is not a folder\n", options.screenshotDir.c_str());
        return 2;
    }
    options.screenshotDir = std::filesystem::absolute(options.screenshotDir, error).string();
    return std::nullopt;
}

// Sets the display mode from the --mode name (empty when not given). Returns 2, after
// printing why, when the name is none of the choices nor a window size.
std::optional<int> chooseDisplayMode(const std::string& modeName, CommandLine& options)
{
    if (modeName.empty()) {
        // Author mode never asks: it opens the 640x480 window.
        if (options.author)
            options.displayMode = 0;
        return std::nullopt;
    }
    const std::string mode = CLI::detail::to_lower(modeName);
    for (int i = 0; i < DisplayChoiceCount; ++i) {
        if (mode == DisplayChoices[i].option)
            options.displayMode = i;
    }
    if (options.displayMode >= 0)
        return std::nullopt;
    if (mode == "desktop") {
        options.desktop = true;
        options.displayMode = 0;
        return std::nullopt;
    }
    int width = 0, height = 0;
    char rest = 0;
    if (std::sscanf(mode.c_str(), "%dx%d%c", &width, &height, &rest) != 2 || width < 16 || height < 16 ||
        width > 16384 || height > 16384) {
        std::fprintf(stderr, "--mode: expected window, 640x480, 800x600, 1024x768, desktop or a window size "
                             "WIDTHxHEIGHT between 16x16 and 16384x16384, got \"%s\"\n", modeName.c_str());
        return 2;
    }
    options.windowWidth = width;
    options.windowHeight = height;
    options.displayMode = 0;
    return std::nullopt;
}

// Sets the renderer from the --renderer text, when given. Returns 2, after printing why,
// when it names no renderer.
std::optional<int> chooseRenderer(const std::string& name, bool given, CommandLine& options)
{
    if (given && !ParseRendererName(CLI::detail::to_lower(name), options.renderer)) {
        std::fprintf(stderr, "--renderer: expected gl or gles2, got \"%s\"\n", name.c_str());
        return 2;
    }
    options.capture.renderer = options.renderer;
    return std::nullopt;
}

// Sets the beat grid from the --bpm text (empty when not given). Returns 2, after printing
// why, when it is neither auto nor a tempo from 1 to 1000, or when the grid is asked for
// outside author mode.
std::optional<int> chooseTempo(const std::string& bpm, bool offsetGiven, CommandLine& options)
{
    if (bpm.empty() && !offsetGiven)
        return std::nullopt;
    if (!options.author) {
        std::fprintf(stderr, "--bpm and --beat-offset draw the beat grid of author mode: add --author\n");
        return 2;
    }
    if (bpm.empty())
        return std::nullopt;
    if (CLI::detail::to_lower(bpm) == "auto") {
        options.estimateBpm = true;
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(bpm.c_str(), &end);
    if (end == bpm.c_str() || *end != '\0' || !(value >= 1.0 && value <= 1000.0)) {
        std::fprintf(stderr, "--bpm: expected auto or a tempo from 1 to 1000 beats per minute, got \"%s\"\n",
            bpm.c_str());
        return 2;
    }
    options.bpm = value;
    return std::nullopt;
}

} // namespace

long long DefaultTextureMemoryMb(long long machineBytes)
{
    if (machineBytes <= 0)
        return DefaultTextureMemory >> 20;
    return std::max(1LL, std::min(DefaultTextureMemory, machineBytes / MachineMemoryShare) >> 20);
}

long long MachineMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    long long bytes = pages > 0 && pageSize > 0 ? static_cast<long long>(pages) * pageSize : 0;
    // A container's limit ("max" when there is none).
    std::ifstream limitFile("/sys/fs/cgroup/memory.max");
    long long limit = 0;
    if (limitFile >> limit && limit > 0)
        bytes = bytes > 0 ? std::min(bytes, limit) : limit;
    return bytes;
}

std::optional<int> parseCommandLine(int argc, const char* const* argv, CommandLine& options)
{
    CLI::App app{"Taldrex: plays a scripted real-time 3D show in step with its soundtrack.\n"
                 "Without --mode or --author a settings dialog asks for the display mode and options.",
                 "taldrex"};
    app.set_version_flag("--version", "taldrex " TALDREX_VERSION);

    std::string modeName;
    std::string vsync = "on";
    std::string bpm;
    addShowOptions(app, options, modeName, vsync, bpm);
    std::string renderer;
    app.add_option("--renderer", renderer,
        "what draws the show, in a window or a capture: gl, OpenGL 1.1's fixed-function pipeline (default), "
        "or gles2, OpenGL ES 2.0 shaders over EGL (what WebGL 1 offers)")
        ->type_name("gl|gles2");
    std::string size;
    const std::vector<CLI::Option*> captureSettings = addCaptureOptions(app, options.capture, size);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    if (const std::optional<int> status = finishCapture(captureSettings, options.capture, size))
        return status;
    if (options.author && (options.capture.wanted() || options.check)) {
        std::fprintf(stderr, "--author plays in a window: not with %s\n", options.check ? "--check" : "--capture or --video");
        return 2;
    }
    if (const std::optional<int> status = finishScreenshotDir(options))
        return status;
    options.vsync = CLI::detail::to_lower(vsync) == "on";
    if (const std::optional<int> status = chooseRenderer(renderer, app.count("--renderer") > 0, options))
        return status;
    if (const std::optional<int> status = chooseTempo(bpm, app.count("--beat-offset") > 0, options))
        return status;
    return chooseDisplayMode(modeName, options);
}

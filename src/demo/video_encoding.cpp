#include "demo/video_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size())
        return false;
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
        [](char wanted, char c) { return std::tolower(static_cast<unsigned char>(c)) == wanted; });
}

// Seconds with microseconds, so that a frame time like 1/3 s is cut where the frame begins.
std::string seconds(long long frames, int fps)
{
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%06lld", frames / fps, (frames % fps) * 1000000 / fps);
    return text;
}

// VP9 has no named presets; its speed setting runs the other way (0 slowest).
std::string vp9Speed(const std::string& preset)
{
    const std::vector<std::string>& presets = VideoPresets();
    const auto found = std::find(presets.begin(), presets.end(), preset);
    const long slowness = found == presets.end() ? 5 : found - presets.begin();
    return std::to_string(std::max(0L, 8 - slowness));
}

} // namespace

VideoContainer ContainerOf(const std::string& file)
{
    if (endsWith(file, ".mkv"))
        return VideoContainer::Matroska;
    if (endsWith(file, ".webm"))
        return VideoContainer::WebM;
    return VideoContainer::Mp4;
}

const std::vector<std::string>& VideoPresets()
{
    static const std::vector<std::string> presets = {"ultrafast", "superfast", "veryfast", "faster", "fast",
        "medium", "slow", "slower", "veryslow", "placebo"};
    return presets;
}

std::vector<std::string> VideoArguments(const VideoSettings& settings)
{
    const VideoContainer container = ContainerOf(settings.file);
    std::vector<std::string> args = {"ffmpeg", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba",
        "-s", std::to_string(settings.width) + "x" + std::to_string(settings.height),
        "-r", std::to_string(settings.fps), "-i", "-"};
    const bool sound = !settings.soundtrack.empty();
    if (sound) {
        args.insert(args.end(), {"-ss", seconds(settings.firstFrame, settings.fps)});
        if (settings.frames >= 0)
            args.insert(args.end(), {"-t", seconds(settings.frames, settings.fps)});
        args.insert(args.end(), {"-i", settings.soundtrack, "-map", "0:v", "-map", "1:a"});
    }
    const std::string crf = std::to_string(settings.crf);
    if (container == VideoContainer::WebM) {
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-crf", crf, "-b:v", "0", "-deadline", "good",
            "-cpu-used", vp9Speed(settings.preset), "-row-mt", "1"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", settings.preset, "-crf", crf});
    }
    args.insert(args.end(), {"-pix_fmt", "yuv420p"});
    if (sound) {
        if (container == VideoContainer::WebM)
            args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
        else
            args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
        // A capture stopped early has less picture than sound was asked for.
        args.push_back("-shortest");
    }
    // The format is named, so that no file name makes ffmpeg choose another muxer.
    switch (container) {
    case VideoContainer::Mp4:
        args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4"});
        break;
    case VideoContainer::Matroska:
        args.insert(args.end(), {"-f", "matroska"});
        break;
    case VideoContainer::WebM:
        args.insert(args.end(), {"-f", "webm"});
        break;
    }
    args.push_back(settings.file);
    return args;
}

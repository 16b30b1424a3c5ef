// The ffmpeg command line of a captured video: the container chosen by the file name, the
// codecs and quality, and the soundtrack from the first captured frame's time on.
#pragma once

#include <string>
#include <vector>

enum class VideoContainer { Mp4, Matroska, WebM };

struct VideoSettings {
    std::string file;            // output path, absolute
    int width = 1280;
    int height = 720;
    int fps = 30;
    int crf = 18;                // constant quality: lower is better and larger
    std::string preset = "medium";
    std::string soundtrack;      // what ffmpeg opens for the sound; empty: a silent video
    long long firstFrame = 0;    // number of the first frame written; the sound starts at its time
    long long frames = -1;       // frames planned; the sound is cut to their length (-1: not cut)
};

// The container of file: ".mkv" Matroska, ".webm" WebM (letters in any case), MP4 otherwise.
VideoContainer ContainerOf(const std::string& file);

// The encoder speed presets --preset accepts, slowest last.
const std::vector<std::string>& VideoPresets();

// The arguments, program name first, that make ffmpeg read raw RGBA frames (top row first)
// from its standard input and write settings.file: H.264 + AAC in MP4 (moov atom first)
// or Matroska, VP9 + Opus in WebM. Never fails; an unknown preset is passed as given.
std::vector<std::string> VideoArguments(const VideoSettings& settings);

// Headless capture: the show played on a frame-counted clock into PNG files (and a video).
#pragma once

#include <string>
#include <vector>

struct CaptureOptions {
    std::string outputDir;   // where frame-NNNNNN.png files are written
    int fps = 30;            // frames per second of show time
    int width = 1280;        // size of the off-screen picture
    int height = 720;
    int fromMs = 0;          // first clock reading written
    int toMs = -1;           // last clock reading written; -1 for the end of the show
    std::string videoFile;   // when set, frames are piped to ffmpeg with the show's MP3
};

// Writes width x height RGBA pixels, bottom row first as OpenGL reads them, as the PNG
// file at path, as every captured frame is written. Returns false when it cannot be written.
bool WriteCapturedFrame(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels);

// Plays the show of the current folder off-screen with the clock replaced by frame
// counting and writes the frames whose clock lies in [fromMs, toMs]. Returns the exit
// status; errors (no context, unwritable folder, no script) are reported on stderr.
int RunCapture(const CaptureOptions& options);

// Headless capture: the show played on a frame-counted clock into PNG files (and a video).
#pragma once

#include <string>

struct CaptureOptions {
    std::string outputDir;   // where frame-NNNNNN.png files are written
    int fps = 30;            // frames per second of show time
    int width = 1280;        // size of the off-screen picture
    int height = 720;
    int fromMs = 0;          // first clock reading written
    int toMs = -1;           // last clock reading written; -1 for the end of the show
    std::string videoFile;   // when set, frames are piped to ffmpeg with the show's MP3
};

// The clock reading after frame k: floor((k + 1) x 1000 / fps) ms.
long long CaptureClockAfterFrame(long long frame, int fps);

// Plays the show of the current folder off-screen with the clock replaced by frame
// counting and writes the frames whose clock lies in [fromMs, toMs]. Returns the exit
// status; errors (no context, unwritable folder, no script) are reported on stderr.
int RunCapture(const CaptureOptions& options);

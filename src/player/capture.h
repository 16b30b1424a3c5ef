// Headless capture: the show played on a frame-counted clock into PNG files (and a video).
#pragma once

#include "demo/timeline.h"
#include "gpu/renderer.h"

#include <string>

class Show;

struct CaptureOptions {
    std::string outputDir;   // where frame-NNNNNN.png files are written; empty: no frame files
    int fps = 30;            // frames per second of show time
    int width = 1280;        // size of the off-screen picture
    int height = 720;
    int fromMs = 0;          // first clock reading written
    int toMs = -1;           // last clock reading written; -1 for the end of the show
    std::string videoFile;   // when set, frames are piped to ffmpeg with the show's MP3
    int crf = 18;            // video quality, lower is better
    std::string preset = "medium"; // video encoder speed
    int threads = 0;         // threads writing frames; 0: one per processor; 1: all in turn on one thread
    RendererKind renderer = RendererKind::Gl; // what draws the frames

    // True when there is something to capture to: frame files, a video or both.
    bool wanted() const { return !outputDir.empty() || !videoFile.empty(); }
};

// The numbers of the first and last frames a capture writes when the show ends at
// showEndMs: frame k shows the clock at floor(k x 1000 / fps) ms, and frames whose clock
// lies in [fromMs, toMs] are written. last < first when none is.
struct CaptureSpan {
    long long first = 0;
    long long last = -1;
    long long count() const { return last >= first ? last - first + 1 : 0; }
};
CaptureSpan PlanCapture(const CaptureOptions& options, long long showEndMs);
// The span of a capture of timeline: up to the show's end (ShowEnd, where playback ends,
// which need not be the last part's end time); none for an empty timeline.
CaptureSpan PlanCapture(const CaptureOptions& options, const TimelineArray& timeline);

// Loads show and plays it off-screen with the clock replaced by frame
// counting and writes the frames whose clock lies in [fromMs, toMs] as PNG files, a video
// or both. Drawing, reading back and writing overlap unless options.threads is 1; the
// files are the same either way. Returns the exit status; errors (no context, unwritable
// folder, no script, ffmpeg failing) are reported on stderr, naming the file.
int RunCapture(const CaptureOptions& options, Show& show);

// Screenshots of a window run: the picture just drawn, at the drawable's size, written as
// PNG under a name that says which show and which moment it is.
#pragma once

#include "gpu/frame_readback.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The Windows virtual-key code of S, the key that takes a screenshot in every window run.
constexpr int ScreenshotKey = 'S';

// "taldrex-<show>-<mm>m<ss.mmm>s.png" for show time clockMs (negative counts as 0; the
// minutes go past 99 when the show does).
std::string ScreenshotName(const std::string& show, double clockMs);

// The show's name in screenshot names: the last part of folder's real path (the current
// folder when empty), control characters as '_'; "show" when the path has no last part.
std::string ScreenshotShowName(const std::string& folder);

class Screenshots {
public:
    // Screenshots of the show named show, written into folder (the current folder when
    // empty).
    Screenshots(std::string folder, std::string show);
    ~Screenshots();
    Screenshots(const Screenshots&) = delete;
    Screenshots& operator=(const Screenshots&) = delete;

    // Makes the read-back for a width x height picture in the current context, so that a
    // screenshot allocates no picture memory unless the drawable's size has changed since.
    void prepare(int width, int height);

    // Reads back the width x height picture drawn into the current context (before the swap)
    // and writes it as an RGB PNG named for clockMs. A name already taken is never written
    // over: "-2", "-3" and so on go before ".png". Returns the path written; empty, with the
    // reason in problem, when nothing was written.
    std::string take(int width, int height, double clockMs, std::string& problem);

    // take() that says what happened: the path on standard output, or why there is none on
    // standard error, and the same line kept for notice() from tick nowMs on.
    void takeAndReport(int width, int height, double clockMs, uint32_t nowMs);

    // For NoticeMs after the last takeAndReport(), copies its line into text (size bytes)
    // and returns true; otherwise leaves text alone and returns false. Allocates nothing.
    bool notice(char* text, size_t size, uint32_t nowMs) const;

    // How long notice() keeps the line of the last screenshot.
    static constexpr uint32_t NoticeMs = 3000;

private:
    std::string folder_;
    std::string show_;
    std::unique_ptr<FrameReadback> readback_;
    std::vector<unsigned char> pixels_;
    int width_ = 0;
    int height_ = 0;
    std::string notice_;
    uint32_t noticeTick_ = 0;
};

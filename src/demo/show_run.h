// The show played on a platform one frame at a time, for a host that owns the loop: the
// desktop's window run calls frame() until it returns false; a page would call it from
// each animation frame the browser gives it.
#pragma once

#include "demo/delayed_clock.h"
#include "demo/playback.h"

#include <cstdint>

class Platform;
class Screenshots;
class Show;
struct SoundStream;

class ShowRun {
public:
    // Plays show's timeline on platform, with the music of stream (the tick count when there
    // is none or sound is off), looping when loop is set. With shots, S writes the frame
    // being shown into them.
    ShowRun(Show& show, Platform& platform, SoundStream* stream, bool loop, Screenshots* shots = nullptr);

    // Starts the music (or the tick count). Returns false when nothing is to be drawn: an
    // empty timeline, or Escape down.
    bool start();

    // One frame: the platform's events, the current part drawn at its part time into the
    // 16:9 band of the picture and presented, then the clock and Escape read and the
    // playback step taken. Returns false once the show is over; does nothing then.
    bool frame();

    // The frame to draw next.
    const ShowFrame& next() const { return next_; }
    // The clock reading (ms) that chose next().
    int shownClock() const { return shownClock_; }

private:
    int readClock();
    void restartClock();
    bool escapeDown();

    Show& show_;
    Platform& platform_;
    SoundStream* stream_;
    Screenshots* shots_;
    Playback playback_;
    bool useTicks_;
    DelayedClock musicClock_;
    uint32_t startTick_ = 0;
    int shownClock_ = 0;
    ShowFrame next_;
};

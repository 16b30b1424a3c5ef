// The playback loop's timing: which part is current, its animation time, and when parts
// change, independent of where the clock comes from and how a frame is drawn.
#pragma once

#include "demo/part_timing.h"
#include "demo/timeline.h"

// What the loop needs from its surroundings: a clock in ms and a way to draw a frame.
// The show plays with the music (or the tick count) and a window; capture and tests
// substitute their own.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;
    // Starts the clock (the music) and returns its first reading.
    virtual int startClock() = 0;
    // The current clock reading in ms.
    virtual int readClock() = 0;
    // Starts the clock again from 0 when the show loops.
    virtual void restartClock() = 0;
    // Draws and shows one frame of part at partTime (pumping window events first).
    virtual void drawFrame(const TimelineEntry& part, float partTime) = 0;
    // True while Escape is down.
    virtual bool escapeDown() = 0;
};

// Plays timeline from its first part until the last part has ended (forever when loop is
// set) or Escape is down. Every part is drawn from part time 0; parts whose end time has
// already passed when they would become current are skipped without being drawn.
void PlayTimeline(const TimelineArray& timeline, bool loop, PlaybackHost& host);

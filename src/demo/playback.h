// The playback loop as a step its host calls once a frame: which part the next frame
// draws and at what animation time, when parts change, when the show ends and when it
// loops, from the clock reading and the keys the host hands it. Every host plays by it:
// the window run, author mode, capture, and a page whose browser calls it back each frame.
#pragma once

#include "demo/part_timing.h"
#include "demo/timeline.h"

// What the host does next.
struct ShowFrame {
    bool over = false;         // draw nothing more: the last part ended (not looping) or Escape is down
    bool restartClock = false; // the show looped: the host starts its clock again from 0
    int part = 0;              // the part to draw, an index into the timeline
    float partTime = 0.0f;     // its animation time, in frames
};

class Playback {
public:
    // Plays timeline, which must outlive it, from its first part; with loop set, the first
    // part follows the last again, forever.
    Playback(const TimelineArray& timeline, bool loop);

    // The first frame, given the clock's first reading and whether Escape is down: part 0
    // at part time 0, or over for an empty timeline or Escape.
    ShowFrame start(int clock, bool escape);

    // The frame after the one last shown, given the clock read since and whether Escape is
    // down. The part time advances by the clock's difference x 0.03; once the clock passes
    // the part's end time the first later part whose end it has not passed becomes current
    // from part time 0 (those in between are never drawn), the change tested only after a
    // frame so that every part that becomes current is drawn at least once. After the last
    // part: over, or with loop set part 0 again and restartClock, the clock counting from 0.
    ShowFrame step(int clock, bool escape);

    // A jump of the clock to clockMs (a seek, a restart): the part current there and its
    // time from the part's start, as seeking shows it; the next step advances from here.
    // Past the last part: over.
    ShowFrame seek(double clockMs);

private:
    ShowFrame frame(bool over, bool restart) const;

    const TimelineArray& timeline_;
    const bool loop_;
    int current_ = 0;
    float partTime_ = 0.0f;
    int lastClock_ = 0;
};

// What a blocking host supplies: a clock in ms, a way to draw a frame and the keys. Tests,
// capture and benchmarks play a timeline through it with PlayTimeline.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;
    // Starts the clock (the music) and returns its first reading.
    virtual int startClock() = 0;
    // The current clock reading in ms.
    virtual int readClock() = 0;
    // Starts the clock again from 0 when the show loops.
    virtual void restartClock() = 0;
    // Draws and shows one frame of part at partTime.
    virtual void drawFrame(const TimelineEntry& part, float partTime) = 0;
    // True while Escape is down (or the host wants to stop).
    virtual bool escapeDown() = 0;
};

// Plays timeline through host, a Playback step a frame, until the show is over.
void PlayTimeline(const TimelineArray& timeline, bool loop, PlaybackHost& host);

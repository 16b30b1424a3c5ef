// Part timing: which part of the timeline is current at a clock reading, its animation time,
// where parts start and the show ends, and which parts a play passes over. Playback, seeking,
// the checker and reloading all decide it here.
#pragma once

#include "demo/timeline.h"

#include <string>

// Animation frames per clock millisecond, as the single-precision value the show uses.
constexpr float FramesPerMillisecond = 0.03f;

// The part time after delta ms: formed in double from the float constant, stored as float.
float AdvancePartTime(float partTime, int delta);

// The part current once clock has passed the end of part current while playing: the next
// part whose end time clock has not passed (those passed too are skipped without being
// drawn), or timeline.size() when every later part is over.
int PartAfter(const TimelineArray& timeline, int current, int clock);

// Where the show is at a clock reading.
struct ShowPosition {
    int part = 0;          // index into the timeline; its size when the clock is past every end
    float partTime = 0.0f; // animation time of that part, in frames
};

// The clock reading at which part begins: the highest end time of the parts before it,
// and never below 0 (0 for the first part). With end times that increase along the
// timeline, that is the previous part's end time.
double PartStart(const TimelineArray& timeline, int part);

// The show at clockMs: the first part whose end time is not below clockMs, and its part
// time (clockMs - PartStart) x 0.03, formed in double and stored as float. A part whose
// end time does not pass its start is never current, as in playback.
ShowPosition PositionAt(const TimelineArray& timeline, double clockMs);

// The clock reading at which the show ends: the highest end time, or 0 for an empty timeline.
double ShowEnd(const TimelineArray& timeline);

// True when part is current at some clock reading from 0 on: the first part when its end
// time is not below 0, a later one when its end time passes its start.
bool PartIsShown(const TimelineArray& timeline, int part);

// True when part's end time does not come after the part before it: the part is over by
// the time it would become current.
bool EndsByPreviousEnd(const TimelineArray& timeline, int part);

// Calls span(part, start, end) for each part that is shown, in timeline order, with the
// clock readings it is current between (PartStart and its end time), until span returns
// false. One pass, however long the timeline.
template <typename Span>
void ForShownParts(const TimelineArray& timeline, Span span)
{
    double start = 0.0;
    for (int i = 0; i < timeline.size(); ++i) {
        const TimelineEntry& entry = timeline[i];
        const bool shown = i == 0 ? entry.endTime >= 0 : entry.endTime > start;
        const double partStart = start;
        start = entry.endTime > start ? static_cast<double>(entry.endTime) : start;
        if (shown && !span(i, partStart, static_cast<double>(entry.endTime)))
            return;
    }
}

// Calls choose(entry) for each part before part that is shown, in timeline order, so that
// each scene ends up viewed through the camera of the last shown part before part.
template <typename Choose>
void ForShownPartsBefore(const TimelineArray& timeline, int part, Choose choose)
{
    ForShownParts(timeline, [&](int shown, double, double) {
        if (shown >= part)
            return false;
        choose(timeline[shown]);
        return true;
    });
}

// The first part that shows the scene under sceneKey, whose camera a freshly loaded scene
// views through; timeline.size() when no part shows it.
int FirstPartOfScene(const TimelineArray& timeline, const std::string& sceneKey);

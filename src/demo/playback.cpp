#include "demo/playback.h"

void PlayTimeline(const TimelineArray& timeline, bool loop, PlaybackHost& host)
{
    int lastClock = host.startClock();
    float partTime = 0.0f;
    int current = 0;
    if (host.escapeDown())
        return;

    while (current < timeline.size()) {
        host.drawFrame(timeline[current], partTime);

        int clock = host.readClock();
        int delta = clock - lastClock;
        lastClock = clock;
        partTime = AdvancePartTime(partTime, delta);

        // The change is tested only after a frame, so every part that becomes current by
        // the clock is drawn at least once; those already over on arrival are skipped.
        if (clock > timeline[current].endTime) {
            partTime = 0.0f;
            current = PartAfter(timeline, current, clock);
            if (current >= timeline.size() && loop) {
                current = 0;
                host.restartClock();
                lastClock = 0;
            }
        }

        if (host.escapeDown())
            return;
    }
}

#include "demo/playback.h"

Playback::Playback(const TimelineArray& timeline, bool loop) : timeline_(timeline), loop_(loop) {}

ShowFrame Playback::frame(bool over, bool restart) const
{
    ShowFrame next;
    next.over = over;
    next.restartClock = restart;
    next.part = current_;
    next.partTime = partTime_;
    return next;
}

ShowFrame Playback::start(int clock, bool escape)
{
    lastClock_ = clock;
    partTime_ = 0.0f;
    current_ = 0;
    return frame(escape || timeline_.empty(), false);
}

ShowFrame Playback::step(int clock, bool escape)
{
    if (current_ >= timeline_.size())
        return frame(true, false);
    const int delta = clock - lastClock_;
    lastClock_ = clock;
    partTime_ = AdvancePartTime(partTime_, delta);

    bool restart = false;
    // The change is tested only after a frame, so every part that becomes current by
    // the clock is drawn at least once; those already over on arrival are skipped.
    if (clock > timeline_[current_].endTime) {
        partTime_ = 0.0f;
        current_ = PartAfter(timeline_, current_, clock);
        if (current_ >= timeline_.size() && loop_) {
            current_ = 0;
            restart = true;
            lastClock_ = 0;
        }
    }
    return frame(escape || current_ >= timeline_.size(), restart);
}

ShowFrame Playback::seek(double clockMs)
{
    const ShowPosition position = PositionAt(timeline_, clockMs);
    current_ = position.part;
    partTime_ = position.partTime;
    lastClock_ = static_cast<int>(clockMs);
    return frame(current_ >= timeline_.size(), false);
}

void PlayTimeline(const TimelineArray& timeline, bool loop, PlaybackHost& host)
{
    Playback playback(timeline, loop);
    const int first = host.startClock();
    ShowFrame next = playback.start(first, host.escapeDown());
    while (!next.over) {
        host.drawFrame(timeline[next.part], next.partTime);
        next = playback.step(host.readClock(), false);
        if (next.restartClock)
            host.restartClock();
        // Asked once the clock has restarted, as the loop always asked it: a host's Escape
        // may follow its clock (capture's --to, a test's passes).
        if (host.escapeDown())
            next.over = true;
    }
}

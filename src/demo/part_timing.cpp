#include "demo/part_timing.h"

#include <algorithm>

float AdvancePartTime(float partTime, int delta)
{
    return static_cast<float>(double(partTime) + double(delta) * double(FramesPerMillisecond));
}

int PartAfter(const TimelineArray& timeline, int current, int clock)
{
    int next = current + 1;
    while (next < timeline.size() && clock > timeline[next].endTime)
        ++next;
    return next;
}

double PartStart(const TimelineArray& timeline, int part)
{
    double start = 0.0;
    for (int i = 0; i < part && i < timeline.size(); ++i)
        start = std::max(start, static_cast<double>(timeline[i].endTime));
    return start;
}

ShowPosition PositionAt(const TimelineArray& timeline, double clockMs)
{
    ShowPosition position;
    double start = 0.0;
    for (int i = 0; i < timeline.size(); ++i) {
        if (static_cast<double>(timeline[i].endTime) >= clockMs) {
            position.part = i;
            position.partTime = static_cast<float>((clockMs - start) * double(FramesPerMillisecond));
            return position;
        }
        start = std::max(start, static_cast<double>(timeline[i].endTime));
    }
    position.part = timeline.size();
    return position;
}

double ShowEnd(const TimelineArray& timeline) { return PartStart(timeline, timeline.size()); }

bool PartIsShown(const TimelineArray& timeline, int part)
{
    if (part < 0 || part >= timeline.size())
        return false;
    const int end = timeline[part].endTime;
    return part == 0 ? end >= 0 : end > PartStart(timeline, part);
}

bool EndsByPreviousEnd(const TimelineArray& timeline, int part)
{
    return part > 0 && part < timeline.size() && timeline[part].endTime <= timeline[part - 1].endTime;
}

int FirstPartOfScene(const TimelineArray& timeline, const std::string& sceneKey)
{
    int part = 0;
    while (part < timeline.size() && timeline[part].sceneName != sceneKey)
        ++part;
    return part;
}

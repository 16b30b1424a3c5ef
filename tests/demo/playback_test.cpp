#include "demo/playback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A scripted clock: each reading after a frame comes from a list; records what is drawn.
class ScriptedHost : public PlaybackHost {
public:
    std::vector<int> readings;   // the clock after frame k
    size_t next = 0;
    int escapeAfterFrames = -1;  // Escape goes down after this many frames (-1: never)
    bool escapeAtStart = false;
    int restarts = 0;
    int maxFrames = 1000;
    std::vector<std::string> drawn;
    std::vector<float> partTimes;

    int startClock() override { return 0; }
    int readClock() override { return next < readings.size() ? readings[next++] : readings.back(); }
    void restartClock() override { ++restarts; }
    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        drawn.push_back(part.sceneName);
        partTimes.push_back(partTime);
    }
    bool escapeDown() override
    {
        if (escapeAtStart)
            return true;
        int frames = static_cast<int>(drawn.size());
        return (escapeAfterFrames >= 0 && frames >= escapeAfterFrames) || frames >= maxFrames;
    }
};

TimelineArray makeTimeline(std::vector<std::pair<std::string, int>> parts)
{
    TimelineArray t;
    for (auto& [name, end] : parts) {
        TimelineEntry e;
        e.sceneName = name;
        e.endTime = end;
        t.append(e);
    }
    return t;
}

} // namespace

TEST(Playback, FirstPartIsDrawnOnceEvenWhenItEndsAtZero)
{
    TimelineArray t = makeTimeline({{"a", 0}, {"b", -5}});
    ScriptedHost host;
    host.readings = {1};
    PlayTimeline(t, false, host);
    EXPECT_EQ(host.drawn, std::vector<std::string>({"a"}));
}

TEST(Playback, AJumpPastSeveralEndTimesSkipsThePartsBetween)
{
    TimelineArray t = makeTimeline({{"a", 100}, {"b", 200}, {"c", 300}, {"d", 400}});
    ScriptedHost host;
    host.readings = {50, 350, 450};
    PlayTimeline(t, false, host);
    EXPECT_EQ(host.drawn, std::vector<std::string>({"a", "a", "d"}));
}

TEST(Playback, APartChangeResetsThePartTimeAndTheNextFrameAdvancesFromThere)
{
    TimelineArray t = makeTimeline({{"a", 5000}, {"b", 10000}});
    ScriptedHost host;
    host.readings = {4000, 5016, 5116, 10001};
    PlayTimeline(t, false, host);
    ASSERT_EQ(host.drawn, std::vector<std::string>({"a", "a", "b", "b"}));
    EXPECT_FLOAT_EQ(host.partTimes[1], AdvancePartTime(0.0f, 4000));
    EXPECT_EQ(host.partTimes[2], 0.0f);
    EXPECT_EQ(host.partTimes[3], AdvancePartTime(0.0f, 100));
}

TEST(Playback, PartTimeIsFormedInDoubleFromTheFloatConstantAndStoredAsFloat)
{
    EXPECT_EQ(FramesPerMillisecond, 0.029999999329447746f);
    float expected = static_cast<float>(1.5 + 7 * 0.029999999329447746);
    EXPECT_EQ(AdvancePartTime(1.5f, 7), expected);
    EXPECT_EQ(AdvancePartTime(0.0f, 1000), static_cast<float>(1000 * 0.029999999329447746));
    EXPECT_EQ(AdvancePartTime(3.0f, -100), static_cast<float>(3.0 - 100 * 0.029999999329447746));
}

TEST(Playback, LoopingGoesBackToTheFirstPartWithTheClockRestarted)
{
    TimelineArray t = makeTimeline({{"a", 100}, {"b", 200}});
    ScriptedHost host;
    host.readings = {150, 250, 20, 120};
    host.maxFrames = 4;
    PlayTimeline(t, true, host);
    EXPECT_EQ(host.drawn, std::vector<std::string>({"a", "b", "a", "a"}));
    EXPECT_EQ(host.restarts, 1);
    // After the restart the last clock is 0, so a reading of 20 advances by 20 ms.
    EXPECT_EQ(host.partTimes[3], AdvancePartTime(0.0f, 20));
}

TEST(Playback, AnEmptyTimelineDrawsNothing)
{
    TimelineArray t;
    ScriptedHost host;
    host.readings = {0};
    PlayTimeline(t, true, host);
    EXPECT_TRUE(host.drawn.empty());
}

TEST(Playback, EscapeStopsBeforeTheFirstFrameOrAfterTheCurrentOne)
{
    TimelineArray t = makeTimeline({{"a", 1000}});
    ScriptedHost atStart;
    atStart.readings = {0};
    atStart.escapeAtStart = true;
    PlayTimeline(t, false, atStart);
    EXPECT_TRUE(atStart.drawn.empty());

    ScriptedHost later;
    later.readings = {10, 20, 30};
    later.escapeAfterFrames = 2;
    PlayTimeline(t, false, later);
    EXPECT_EQ(later.drawn.size(), 2u);
}

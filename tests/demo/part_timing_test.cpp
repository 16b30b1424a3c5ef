#include "demo/part_timing.h"
#include "demo/playback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Part {
    const char* scene;
    int end;
    const char* camera;
};

TimelineArray makeTimeline(const std::vector<Part>& parts)
{
    TimelineArray timeline;
    for (const Part& part : parts) {
        TimelineEntry entry;
        entry.sceneName = part.scene;
        entry.endTime = part.end;
        entry.cameraName = part.camera;
        timeline.append(entry);
    }
    return timeline;
}

// Plays timeline for two frames, the clock reading clockMs after the first.
class TwoFrames : public PlaybackHost {
public:
    explicit TwoFrames(int clockMs) : clock_(clockMs) {}
    std::vector<std::string> drawn;
    std::vector<float> partTimes;

    int startClock() override { return 0; }
    int readClock() override { return clock_; }
    void restartClock() override {}
    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        drawn.push_back(part.sceneName);
        partTimes.push_back(partTime);
    }
    bool escapeDown() override { return drawn.size() >= 2; }

private:
    int clock_;
};

// Two timelines: end times in order, and one whose first part ends before the clock starts
// and whose third is over by the time it would begin.
const TimelineArray InOrder = makeTimeline({{"a", 5000, "cam_a"}, {"b", 10000, "cam_b"}, {"c", 12000, "cam_c"}});
const TimelineArray OutOfOrder =
    makeTimeline({{"a", -20, "cam_a"}, {"b", 5000, "cam_b"}, {"c", 3000, "cam_c"}, {"d", 8000, "cam_d"}});

} // namespace

// One table of clock readings: the part current there and its part time (what seeking
// shows), the cameras the shown parts before it chose, and the part a playback shows on
// the frame after its clock jumped there from 0.
TEST(PartTiming, TheShowAtAClockReading)
{
    const struct {
        const TimelineArray& timeline;
        double clock;
        int part;
        float partTime;
        std::vector<std::string> cameras;
    } rows[] = {
        {InOrder, 0, 0, 0.0f, {}},
        {InOrder, 5000, 0, 150.0f, {}},
        {InOrder, 5001, 1, 0.03f, {"cam_a"}},
        {InOrder, 11000, 2, 30.0f, {"cam_a", "cam_b"}},
        {InOrder, 12001, 3, 0.0f, {"cam_a", "cam_b", "cam_c"}}, // past the show
        {OutOfOrder, 0, 1, 0.0f, {}},                           // the first part ended before 0
        {OutOfOrder, 6000, 3, 30.0f, {"cam_b"}},                // the part ending at 3000 passed over
        {OutOfOrder, 9000, 4, 0.0f, {"cam_b", "cam_d"}},
    };
    for (const auto& row : rows) {
        const TimelineArray& timeline = row.timeline;
        const std::string where = "at " + std::to_string(row.clock) + " of " + timeline[0].sceneName +
                                  std::to_string(timeline[0].endTime);
        const ShowPosition position = PositionAt(timeline, row.clock);
        EXPECT_EQ(position.part, row.part) << where;
        EXPECT_FLOAT_EQ(position.partTime, row.partTime) << where;

        std::vector<std::string> cameras;
        ForShownPartsBefore(timeline, row.part, [&](const TimelineEntry& e) { cameras.push_back(e.cameraName); });
        EXPECT_EQ(cameras, row.cameras) << where;

        // Playing always shows the first part once, then the part the clock reached, from
        // part time 0 unless it is still the first.
        TwoFrames host(static_cast<int>(row.clock));
        PlayTimeline(timeline, false, host);
        ASSERT_FALSE(host.drawn.empty()) << where;
        EXPECT_EQ(host.drawn[0], timeline[0].sceneName) << where;
        if (row.part >= timeline.size()) {
            EXPECT_EQ(host.drawn.size(), 1u) << where;
            continue;
        }
        ASSERT_EQ(host.drawn.size(), 2u) << where;
        EXPECT_EQ(host.drawn[1], timeline[row.part].sceneName) << where;
        EXPECT_FLOAT_EQ(host.partTimes[1], row.part == 0 ? row.partTime : 0.0f) << where;
    }
}

// Per part: where it starts, whether a play from 0 shows it, and whether the checker finds
// its end time not after the previous part's.
TEST(PartTiming, EachPartsStartAndWhetherItIsShown)
{
    const struct {
        const TimelineArray& timeline;
        int part;
        double start;
        bool shown;
        bool endsByPreviousEnd;
    } rows[] = {
        {InOrder, 0, 0, true, false},       {InOrder, 1, 5000, true, false},    {InOrder, 2, 10000, true, false},
        {OutOfOrder, 0, 0, false, false},   {OutOfOrder, 1, 0, true, false},    {OutOfOrder, 2, 5000, false, true},
        {OutOfOrder, 3, 5000, true, false},
    };
    for (const auto& row : rows) {
        const std::string where = "part " + std::to_string(row.part) + " of " + std::to_string(row.timeline.size());
        EXPECT_EQ(PartStart(row.timeline, row.part), row.start) << where;
        EXPECT_EQ(PartIsShown(row.timeline, row.part), row.shown) << where;
        EXPECT_EQ(EndsByPreviousEnd(row.timeline, row.part), row.endsByPreviousEnd) << where;
    }
    EXPECT_EQ(ShowEnd(InOrder), 12000);
    EXPECT_EQ(ShowEnd(OutOfOrder), 8000);
    EXPECT_EQ(ShowEnd(TimelineArray()), 0);
    EXPECT_EQ(PositionAt(TimelineArray(), 0).part, 0);
    EXPECT_EQ(FirstPartOfScene(OutOfOrder, "c"), 2);
    EXPECT_EQ(FirstPartOfScene(OutOfOrder, "z"), 4);
}

#include "demo/playback.h"
#include "player/capture.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CapturePlan, FramesWhoseClockLiesInTheRange)
{
    CaptureOptions options;
    options.fps = 30;
    // Frames 0..120 show 0..4000 ms.
    CaptureSpan span = PlanCapture(options, 4000);
    EXPECT_EQ(span.first, 0);
    EXPECT_EQ(span.last, 120);
    EXPECT_EQ(span.count(), 121);

    // Frame 59 shows 1966 ms, frame 60 2000 ms: ranges split there meet without a gap.
    options.toMs = 1999;
    EXPECT_EQ(PlanCapture(options, 4000).last, 59);
    options.toMs = -1;
    options.fromMs = 2000;
    EXPECT_EQ(PlanCapture(options, 4000).first, 60);
    // 1001 ms is first reached by frame 31 (1033 ms).
    options.fromMs = 1001;
    EXPECT_EQ(PlanCapture(options, 4000).first, 31);

    // A show end between frames: frame 1 shows 33 ms.
    options.fromMs = 0;
    EXPECT_EQ(PlanCapture(options, 33).last, 1);
    EXPECT_EQ(PlanCapture(options, 32).last, 0);
    // --to beyond the show, and a range after it.
    options.toMs = 999999;
    EXPECT_EQ(PlanCapture(options, 4000).last, 120);
    options.fromMs = 5000;
    EXPECT_EQ(PlanCapture(options, 4000).count(), 0);
    // 60 fps: frame k shows floor(k x 1000 / 60).
    options.fps = 60;
    options.fromMs = 0;
    options.toMs = 1000;
    EXPECT_EQ(PlanCapture(options, 4000).last, 60);
}

namespace {

// Plays timeline on a clock that counts frames at fps, as capture does, and counts the
// frames drawn.
class FrameCounter : public PlaybackHost {
public:
    explicit FrameCounter(int fps) : fps_(fps) {}
    long long drawn = 0;

    int startClock() override { return 0; }
    int readClock() override { return static_cast<int>(drawn * 1000 / fps_); }
    void restartClock() override {}
    void drawFrame(const TimelineEntry&, float) override { ++drawn; }
    bool escapeDown() override { return false; }

private:
    int fps_;
};

TimelineArray timelineEnding(const std::vector<int>& ends)
{
    TimelineArray timeline;
    for (int end : ends) {
        TimelineEntry entry;
        entry.endTime = end;
        timeline.append(entry);
    }
    return timeline;
}

} // namespace

// A capture writes as many frames as playback draws, and says so up front: the show ends
// at the highest end time, not at the last part's when the end times do not increase.
TEST(CapturePlan, CountsTheFramesPlaybackDraws)
{
    const std::vector<std::vector<int>> shows = {
        {5000, 10000}, {8000, 16000, 4000}, {16000, 4000}, {-20, 3000}, {0}, {3000, 3000, 2999}};
    for (const std::vector<int>& ends : shows) {
        for (int fps : {2, 30}) {
            const TimelineArray timeline = timelineEnding(ends);
            FrameCounter counter(fps);
            PlayTimeline(timeline, false, counter);
            CaptureOptions options;
            options.fps = fps;
            EXPECT_EQ(PlanCapture(options, timeline).count(), counter.drawn)
                << ends.size() << " parts ending last at " << ends.back() << ", " << fps << " fps";
        }
    }
    CaptureOptions options;
    EXPECT_EQ(PlanCapture(options, TimelineArray()).count(), 0);
}

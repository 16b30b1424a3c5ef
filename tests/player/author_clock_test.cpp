#include "player/author_clock.h"

#include "demo/playback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TimelineArray makeTimeline(std::vector<std::pair<std::string, int>> parts)
{
    TimelineArray timeline;
    for (auto& [name, end] : parts) {
        TimelineEntry entry;
        entry.sceneName = name;
        entry.endTime = end;
        timeline.append(entry);
    }
    return timeline;
}

// Music that plays on the test's tick count: its clock is where it was last played from
// plus the ticks since, and it stops at its length.
class FakeMusic : public AuthorMusic {
public:
    uint32_t now = 0;
    double length = 1e9;
    bool playing = false;
    double from = 0.0;
    uint32_t since = 0;
    std::vector<double> plays;
    int holds = 0;

    bool audible() override { return playing && position() < length; }
    double position() override { return playing ? std::min(length, from + (now - since)) : from; }
    void play(double ms) override
    {
        plays.push_back(ms);
        playing = true;
        from = ms;
        since = now;
    }
    void hold() override
    {
        ++holds;
        from = position();
        playing = false;
    }
};

} // namespace

TEST(AuthorClock, FollowsTheMusicAtNormalSpeedAndTheTicksOtherwise)
{
    FakeMusic music;
    AuthorClock clock(music, 60000);
    music.now = 100;
    clock.start(100);
    EXPECT_EQ(music.plays, std::vector<double>({0.0}));
    music.now = 1100;
    clock.advance(1100);
    EXPECT_DOUBLE_EQ(clock.ms(), 1000);

    // The music drifts from the ticks: the clock keeps to the music.
    music.since -= 7;
    music.now = 1200;
    clock.advance(1200);
    EXPECT_DOUBLE_EQ(clock.ms(), 1107);

    // Music that has ended hands the clock over to the ticks.
    music.length = 1150;
    music.now = 1300;
    clock.advance(1300);
    EXPECT_DOUBLE_EQ(clock.ms(), 1207);
}

TEST(AuthorClock, PauseHoldsTheClockAndTheMusicAndResumeGoesOnFromIt)
{
    FakeMusic music;
    AuthorClock clock(music, 60000);
    clock.start(0);
    music.now = 500;
    clock.advance(500);
    clock.togglePause();
    EXPECT_TRUE(clock.paused());
    EXPECT_EQ(music.holds, 1);
    // Two seconds of frames at 60 Hz while paused.
    for (uint32_t tick = 500; tick <= 2500; tick += 16) {
        music.now = tick;
        clock.advance(tick);
        EXPECT_DOUBLE_EQ(clock.ms(), 500);
    }
    clock.togglePause();
    EXPECT_FALSE(clock.paused());
    EXPECT_EQ(music.plays.back(), 500);
    music.now = 2740;
    clock.advance(2740);
    EXPECT_DOUBLE_EQ(clock.ms(), 500 + (2740 - 2500));
}

TEST(AuthorClock, AFrameStepIsOneThirtiethOfASecondAndOnlyWhilePaused)
{
    FakeMusic music;
    AuthorClock clock(music, 60000);
    TimelineArray timeline = makeTimeline({{"a", 60000}});
    clock.start(0);
    clock.step(1);
    EXPECT_DOUBLE_EQ(clock.ms(), 0); // playing: no step
    clock.seek(1000);
    clock.togglePause();
    const float before = PositionAt(timeline, clock.ms()).partTime;
    clock.step(1);
    EXPECT_DOUBLE_EQ(clock.ms(), 1000 + 1000.0 / 30);
    EXPECT_FLOAT_EQ(PositionAt(timeline, clock.ms()).partTime - before, 1.0f);
    clock.step(-1);
    clock.step(-1);
    EXPECT_DOUBLE_EQ(clock.ms(), 1000 - 1000.0 / 30);
    // The steps never leave the show.
    clock.seek(0);
    clock.step(-1);
    EXPECT_DOUBLE_EQ(clock.ms(), 0);
}

TEST(AuthorClock, SpeedScalesThePartTimeAndMutesTheMusicAwayFromOneX)
{
    FakeMusic music;
    AuthorClock clock(music, 60000);
    TimelineArray timeline = makeTimeline({{"a", 60000}});
    clock.start(0);
    clock.faster();
    EXPECT_EQ(clock.speed(), 2.0);
    EXPECT_FALSE(music.playing);
    const float at = PositionAt(timeline, clock.ms()).partTime;
    music.now = 1000;
    clock.advance(1000);
    EXPECT_FLOAT_EQ(PositionAt(timeline, clock.ms()).partTime - at, 60.0f); // 2 s of show in 1 s

    for (int i = 0; i < 5; ++i)
        clock.faster();
    EXPECT_EQ(clock.speed(), FastestSpeed);
    for (int i = 0; i < 10; ++i)
        clock.slower();
    EXPECT_EQ(clock.speed(), SlowestSpeed);
    music.now = 2000;
    clock.advance(2000);
    EXPECT_DOUBLE_EQ(clock.ms(), 2250);
    clock.faster();
    clock.faster();
    // Back at 1x the music plays again from the clock.
    EXPECT_TRUE(music.playing);
    EXPECT_EQ(music.plays.back(), 2250);
}

TEST(AuthorClock, TheEndLoopsWhenAskedAndOtherwiseHoldsThere)
{
    FakeMusic music;
    AuthorClock clock(music, 3000);
    clock.start(0);
    music.now = 3500;
    clock.advance(3500);
    EXPECT_DOUBLE_EQ(clock.ms(), 3000);
    EXPECT_TRUE(clock.paused());
    // Playing again from the end starts the show again.
    clock.togglePause();
    EXPECT_DOUBLE_EQ(clock.ms(), 0);
    EXPECT_EQ(music.plays.back(), 0);

    clock.setLooping(true);
    const int jumps = clock.jumps();
    music.now = 7000;
    clock.advance(7000);
    EXPECT_DOUBLE_EQ(clock.ms(), 0);
    EXPECT_GT(clock.jumps(), jumps);
    EXPECT_FALSE(clock.paused());
}

TEST(AuthorTransport, KeysSeekJumpBetweenPartsAndRestart)
{
    TimelineArray timeline = makeTimeline({{"a", 5000}, {"b", 10000}, {"skipped", 9000}, {"c", 30000}});
    FakeMusic music;
    AuthorTransport transport(timeline, music);
    transport.clock().start(0);

    transport.press(AuthorKey::Forward, false);
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 1000);
    transport.press(AuthorKey::Forward, true);
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 11000);
    EXPECT_EQ(music.plays.back(), 11000);
    transport.press(AuthorKey::Back, true);
    transport.press(AuthorKey::Back, true);
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 0);

    transport.press(AuthorKey::NextPart, false);
    ShowPosition position = transport.frame(0);
    EXPECT_EQ(position.part, 1);
    EXPECT_NEAR(position.partTime, 0.0f, 1e-6f); // as playing first shows a part
    EXPECT_NEAR(transport.clock().ms(), 5000, 1e-6);
    transport.press(AuthorKey::NextPart, false); // over the part that is never current
    EXPECT_EQ(transport.frame(0).part, 3);
    transport.press(AuthorKey::NextPart, false); // the last part: nowhere further
    EXPECT_EQ(transport.frame(0).part, 3);
    transport.press(AuthorKey::PreviousPart, false);
    EXPECT_EQ(transport.frame(0).part, 1);
    transport.press(AuthorKey::PreviousPart, false);
    position = transport.frame(0);
    EXPECT_EQ(position.part, 0);
    EXPECT_EQ(position.partTime, 0.0f);

    transport.press(AuthorKey::Forward, true);
    transport.press(AuthorKey::Restart, false);
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 0);
    transport.press(AuthorKey::Loop, false);
    EXPECT_TRUE(transport.clock().looping());
    transport.press(AuthorKey::Forward, true);
    transport.press(AuthorKey::Forward, true);
    transport.press(AuthorKey::Forward, true);
    transport.press(AuthorKey::NextPart, false); // the last part, looping: back to the first
    EXPECT_EQ(transport.frame(0).part, 0);
}

TEST(AuthorTransport, EveryBoundKeyHasAMeaningAndOthersNone)
{
    for (int i = 0; i < AuthorKeyBindingCount; ++i)
        EXPECT_NE(AuthorKeyOf(AuthorKeyBindings[i].virtualKey), AuthorKey::None);
    EXPECT_EQ(AuthorKeyOf(0x1B), AuthorKey::None); // Escape ends the show, as always
    EXPECT_EQ(AuthorKeyOf('F'), AuthorKey::None);  // F keeps toggling fullscreen
    EXPECT_EQ(AuthorKeyOf(0x20), AuthorKey::Pause);
    EXPECT_EQ(AuthorKeyOf(0xDD), AuthorKey::NextPart);
}

// The show played through its step on a scripted platform: no window, no sound device, no
// SDL. This program links the demo library alone, so the show's rules are shown to need
// nothing of the desktop.
#include "demo/part_timing.h"
#include "demo/platform.h"
#include "demo/show.h"
#include "demo/show_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Music positions (or tick counts) from a script, Escape held or tapped after a number of
// frames, and a count of what the show asked for.
class ScriptedPlatform : public Platform {
public:
    std::vector<int> readings;   // the music's position (or the tick count) at each reading, in turn
    bool music = true;           // a soundtrack plays; otherwise the tick count is the clock
    int escapeHeldAfter = -1;    // Escape is down once this many frames were shown (-1: never)
    int escapeTappedAfter = -1;  // Escape is pressed and released then
    int presents = 0;
    int pumps = 0;
    int musicStarts = 0;
    int rewinds = 0;             // the music moved back to 0

    int pictureWidth() override { return 64; }
    int pictureHeight() override { return 36; }
    void present() override { ++presents; }
    void showLoadingPicture(const DataFolder&, ImageBudget&, TexturePicture*) override {}
    void pumpEvents() override { ++pumps; }
    uint32_t ticks() override { return music ? 0 : static_cast<uint32_t>(read()); }
    bool keyDown(int key) override { return key == VK_ESCAPE_KEY && reached(escapeHeldAfter); }
    bool takeKeyPress(int key) override
    {
        if (key != VK_ESCAPE_KEY || !reached(escapeTappedAfter) || tapTaken_)
            return false;
        tapTaken_ = true;
        return true;
    }
    int takePointerEvents(PointerEvent (&)[PointerEventCapacity]) override { return 0; }
    bool soundOff() override { return !music; }
    SoundStream* openMusic(const std::string&, const DataFolder&) override { return nullptr; }
    void closeMusic(SoundStream*) override {}
    bool startMusic(SoundStream*) override { return ++musicStarts > 0; }
    int musicPosition(SoundStream*) override { return read(); }
    bool musicEnded(SoundStream*) override { return false; }
    bool seekMusic(SoundStream*, int ms) override
    {
        rewinds += ms == 0;
        return true;
    }
    bool pauseMusic(SoundStream*, bool) override { return true; }
    int audioDelayMs() override { return 0; }

private:
    bool reached(int frames) const { return frames >= 0 && presents >= frames; }
    int read() { return next_ < readings.size() ? readings[next_++] : readings.back(); }
    size_t next_ = 0;
    bool tapTaken_ = false;
};

// A stand-in for an open soundtrack: the scripted platform only counts what is done to it.
char openSoundtrack;
SoundStream* const AnyStream = reinterpret_cast<SoundStream*>(&openSoundtrack);

struct Played {
    std::vector<int> parts;
    std::vector<float> partTimes;
};

// Plays a show of parts ending at ends, drawing nothing, through ShowRun on platform.
Played play(const std::vector<int>& ends, bool loop, ScriptedPlatform& platform, int maxFrames = 100)
{
    Show show;
    for (int end : ends) {
        TimelineEntry entry;
        entry.sceneName = "scene" + std::to_string(show.Timeline.size());
        entry.endTime = end;
        entry.backgroundName = "standard";
        entry.overlayName = "standard";
        show.Timeline.append(entry);
    }
    ShowRun run(show, platform, platform.music ? AnyStream : nullptr, loop);
    Played played;
    if (!run.start())
        return played;
    do {
        played.parts.push_back(run.next().part);
        played.partTimes.push_back(run.next().partTime);
    } while (run.frame() && static_cast<int>(played.parts.size()) < maxFrames);
    return played;
}

} // namespace

// The cases of the playback loop's rules, each played on the music's clock: the parts
// drawn frame by frame.
TEST(ShowStep, PlaysTheSamePartsAsThePlaybackLoop)
{
    struct Case {
        const char* what;
        std::vector<int> ends;
        std::vector<int> readings; // the clock after each frame
        bool loop;
        int escapeHeldAfter;
        int escapeTappedAfter;
        std::vector<int> parts;
        int rewinds;
    };
    const Case cases[] = {
        {"the first part is drawn once even when it ends at 0", {0, -5}, {1}, false, -1, -1, {0}, 0},
        {"a jump past several end times skips the parts between", {100, 200, 300, 400}, {50, 350, 450}, false, -1,
            -1, {0, 0, 3}, 0},
        {"a part whose end does not pass the one before is skipped", {100, 300, 200, 400}, {150, 250, 350, 450},
            false, -1, -1, {0, 1, 1, 3}, 0},
        {"looping goes back to the first part with the music rewound", {100, 200}, {150, 250, 20, 120}, true, 4, -1,
            {0, 1, 0, 0}, 1},
        {"an empty timeline draws nothing", {}, {0}, true, -1, -1, {}, 0},
        {"Escape held at the start draws nothing", {1000}, {0}, false, 0, -1, {}, 0},
        {"Escape held ends the show after the frame shown", {1000}, {10, 20, 30}, false, 2, -1, {0, 0}, 0},
        {"a tap of Escape between two frames still ends it", {1000}, {10, 20, 30}, false, -1, 1, {0}, 0},
    };
    for (const Case& c : cases) {
        ScriptedPlatform platform;
        platform.readings = c.readings;
        platform.escapeHeldAfter = c.escapeHeldAfter;
        platform.escapeTappedAfter = c.escapeTappedAfter;
        const Played played = play(c.ends, c.loop, platform);
        EXPECT_EQ(played.parts, c.parts) << c.what;
        EXPECT_EQ(platform.rewinds, c.rewinds) << c.what;
        // Every frame drawn is pumped first and presented; the music starts once, Escape or not.
        EXPECT_EQ(platform.presents, static_cast<int>(c.parts.size())) << c.what;
        EXPECT_EQ(platform.pumps, platform.presents) << c.what;
        EXPECT_EQ(platform.musicStarts, 1) << c.what;
    }
}

TEST(ShowStep, APartStartsFromPartTimeZeroAndAdvancesByTheClockFromThere)
{
    ScriptedPlatform platform;
    platform.readings = {4000, 5016, 5116, 10001};
    const Played played = play({5000, 10000}, false, platform);
    ASSERT_EQ(played.parts, std::vector<int>({0, 0, 1, 1}));
    EXPECT_EQ(played.partTimes[0], 0.0f);
    EXPECT_EQ(played.partTimes[1], AdvancePartTime(0.0f, 4000));
    EXPECT_EQ(played.partTimes[2], 0.0f);
    EXPECT_EQ(played.partTimes[3], AdvancePartTime(0.0f, 100));
}

// Without music the tick count since playback started is the clock: a first part ending
// at 3000 lasts three seconds of ticks, whatever the count read at the start.
TEST(ShowStep, WithoutMusicTheTicksSinceTheStartAreTheClock)
{
    ScriptedPlatform platform;
    platform.music = false;
    platform.readings = {70000, 71000, 72000, 73000, 73001};
    const Played played = play({3000}, false, platform);
    EXPECT_EQ(played.parts, std::vector<int>({0, 0, 0, 0}));
    EXPECT_EQ(played.partTimes[3], AdvancePartTime(AdvancePartTime(AdvancePartTime(0.0f, 1000), 1000), 1000));
    EXPECT_EQ(platform.musicStarts, 0);
}

TEST(PointerEventQueue, MergesMotionsKeepsTheNewestPastItsCapacityAndEmptiesWhenTaken)
{
    const auto event = [](PointerEvent::Kind kind, int x) {
        PointerEvent e;
        e.kind = kind;
        e.x = x;
        return e;
    };
    PointerEventQueue queue;
    PointerEvent taken[PointerEventCapacity];
    queue.push(event(PointerEvent::Kind::Motion, 1));
    queue.push(event(PointerEvent::Kind::Motion, 2));
    queue.push(event(PointerEvent::Kind::Press, 3));
    queue.push(event(PointerEvent::Kind::Motion, 4));
    ASSERT_EQ(queue.take(taken), 3);
    EXPECT_EQ(taken[0].x, 2);
    EXPECT_EQ(taken[1].kind, PointerEvent::Kind::Press);
    EXPECT_EQ(taken[2].x, 4);
    EXPECT_EQ(queue.take(taken), 0);

    for (int i = 0; i < PointerEventCapacity + 5; ++i)
        queue.push(event(PointerEvent::Kind::Press, i));
    ASSERT_EQ(queue.take(taken), PointerEventCapacity);
    EXPECT_EQ(taken[0].x, 5);
    EXPECT_EQ(taken[PointerEventCapacity - 1].x, PointerEventCapacity + 4);
}

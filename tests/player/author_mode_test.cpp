#include "player/author_mode.h"

#include "demo/check.h"
#include "player/author_clock.h"
#include "support/allocation_counter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SilentMusic : public AuthorMusic {
public:
    bool audible() override { return false; }
    double position() override { return 0; }
    void play(double) override {}
    void hold() override {}
};

TimelineArray twoParts()
{
    TimelineArray timeline;
    TimelineEntry first;
    first.sceneName = "intro.scn";
    first.cameraName = "intro_cam";
    first.endTime = 8000;
    timeline.append(first);
    TimelineEntry second = first;
    second.sceneName = "orbit.scn";
    second.cameraName = "orbit_cam";
    second.endTime = 70000;
    timeline.append(second);
    return timeline;
}

} // namespace

TEST(AuthorStatus, TheLineNamesThePartTheClockAndTheState)
{
    TimelineArray timeline = twoParts();
    SilentMusic music;
    AuthorTransport transport(timeline, music);
    transport.clock().start(0);
    transport.clock().seek(65432.9);
    transport.clock().togglePause();
    transport.press(AuthorKey::Loop, false);
    transport.press(AuthorKey::Slower, false);
    char text[256];
    FormatStatus(text, sizeof text, timeline, transport.frame(0), transport.clock(), 59.6, 4.25);
    EXPECT_STREQ(text, "part 2/2  orbit.scn  orbit_cam  frame 1723.0  01:05.432  0.5x  paused  loop  60 fps 4.2 ms");

    ShowPosition past;
    past.part = 2;
    FormatStatus(text, sizeof text, timeline, past, transport.clock(), 0, 0);
    EXPECT_EQ(std::string(text).rfind("no part  01:05.432", 0), 0u) << text;

    // Long names are cut, and the line never overflows its buffer.
    timeline[1].sceneName = std::string(300, 's');
    char small[64];
    FormatStatus(small, sizeof small, timeline, transport.frame(0), transport.clock(), 0, 0);
    EXPECT_EQ(std::string(small).size(), sizeof small - 1);
}

TEST(AuthorStatus, AFrameOfTheTransportAndTheStatusLineAllocatesNothing)
{
    TimelineArray timeline = twoParts();
    SilentMusic music;
    AuthorTransport transport(timeline, music);
    transport.clock().start(0);
    char text[256];
    const long before = AllocationCount();
    for (uint32_t tick = 0; tick < 3000; tick += 16) {
        transport.press(AuthorKey::Forward, tick % 320 == 0);
        transport.press(AuthorKey::PreviousPart, false);
        const ShowPosition position = transport.frame(tick);
        FormatStatus(text, sizeof text, timeline, position, transport.clock(), 60, 1.5);
    }
    EXPECT_EQ(AllocationCount(), before);
}

TEST(AuthorProblems, ListedAsFileAndProblemAndCountedInOneLine)
{
    const std::vector<std::string> lines =
        ProblemLines({{"data/a.jpg", "does not exist"}, {"data/\x1b[2Jb.scn", "stops at byte 12"}});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "data/a.jpg: does not exist");
    EXPECT_EQ(lines[1], "data/\\x1b[2Jb.scn: stops at byte 12");

    EXPECT_EQ(ProblemSummary(0, "show"), "");
    EXPECT_EQ(ProblemSummary(1, "show"), "taldrex: 1 problem in this show; run taldrex --check show");
    EXPECT_EQ(ProblemSummary(3, ""), "taldrex: 3 problems in this show; run taldrex --check .");
}

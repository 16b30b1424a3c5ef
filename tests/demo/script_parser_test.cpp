#include "demo/script_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// Records what the parser hands out, one line per call, in order.
class Recorder : public ScriptSink {
public:
    std::vector<std::string> calls;
    std::vector<TimelineEntry> parts;

    void mp3Entry(const std::string& line) override { calls.push_back("mp3:" + line); }
    void textureEntry(const std::string& line) override { calls.push_back("tex:" + line); }
    void sceneEntry(const std::string& line) override { calls.push_back("scene:" + line); }
    void part(const TimelineEntry& entry) override
    {
        calls.push_back("part:" + entry.sceneName);
        parts.push_back(entry);
    }
};

Recorder parse(const std::string& text)
{
    Recorder r;
    ParseScript(text, r);
    return r;
}

} // namespace

TEST(ScriptParser, HeadersAreFoundAsSubstringsOfTheLowerCasedLine)
{
    Recorder r = parse("intro text\n[TEXTURES]\nLogo.JPG\n\n  [Scenes] of the show\nA.3DS\n\n"
                       "[part] one\nA.3ds\n100\nCam\nLOGO.jpg\nStandard\n");
    std::vector<std::string> expected = {"tex:logo.jpg", "scene:a.3ds", "part:a.3ds"};
    EXPECT_EQ(r.calls, expected);
    ASSERT_EQ(r.parts.size(), 1u);
    EXPECT_EQ(r.parts[0].endTime, 100);
    EXPECT_EQ(r.parts[0].cameraName, "cam");
    EXPECT_EQ(r.parts[0].backgroundName, "logo.jpg");
    EXPECT_EQ(r.parts[0].overlayName, "standard");
}

TEST(ScriptParser, HeaderOrderDecidesWhenALineHoldsTwo)
{
    Recorder r = parse("[part][mp3]\nsong.mp3\n");
    std::vector<std::string> expected = {"mp3:song.mp3"};
    EXPECT_EQ(r.calls, expected);
}

TEST(ScriptParser, AListRunsIntoTheNextHeaderWithoutAnEmptyLine)
{
    Recorder r = parse("[textures]\na.jpg\n[scenes]\nb.3ds\n\n[scenes]\nc.3ds\n");
    std::vector<std::string> expected = {"tex:a.jpg", "tex:[scenes]", "tex:b.3ds", "scene:c.3ds"};
    EXPECT_EQ(r.calls, expected);
}

TEST(ScriptParser, PartBlocksReadFiveLinesUnconditionally)
{
    // Back to back, with an empty camera line and a header inside the block.
    Recorder r = parse("[part]\ns1\n10\n\n[part]\nover\n[part]\ns2\n20\ncam\nbg\nov\n[part]\ns3\n");
    ASSERT_EQ(r.parts.size(), 3u);
    EXPECT_EQ(r.parts[0].sceneName, "s1");
    EXPECT_EQ(r.parts[0].cameraName, "");
    EXPECT_EQ(r.parts[0].backgroundName, "[part]");
    EXPECT_EQ(r.parts[0].overlayName, "over");
    EXPECT_EQ(r.parts[1].sceneName, "s2");
    EXPECT_EQ(r.parts[1].overlayName, "ov");
    // Cut off by the end of the file: the missing lines are empty, the end time 0.
    EXPECT_EQ(r.parts[2].sceneName, "s3");
    EXPECT_EQ(r.parts[2].endTime, 0);
    EXPECT_EQ(r.parts[2].cameraName, "");
    EXPECT_EQ(r.parts[2].overlayName, "");
}

TEST(ScriptParser, EntriesKeepLeadingSpacesAndCrLfEndsALine)
{
    Recorder r = parse("[textures]\r\n  Logo.jpg\r\nboth.jpg.png\r\n\r\n[mp3]\r\nsong.mp3");
    std::vector<std::string> expected = {"tex:  logo.jpg", "tex:both.jpg.png", "mp3:song.mp3"};
    EXPECT_EQ(r.calls, expected);
}

TEST(ScriptParser, OnlyACarriageReturnBeforeALineFeedIsDropped)
{
    Recorder r = parse("[scenes]\na\rb.3ds\r\n\r\n");
    std::vector<std::string> expected = {"scene:a\rb.3ds"};
    EXPECT_EQ(r.calls, expected);
}

TEST(ScriptParser, EndTimesAreReadAsAtoiWouldAndSaturate)
{
    EXPECT_EQ(ParseEndTime("5000"), 5000);
    EXPECT_EQ(ParseEndTime("  \t 42ms"), 42);
    EXPECT_EQ(ParseEndTime("-17"), -17);
    EXPECT_EQ(ParseEndTime("+8"), 8);
    EXPECT_EQ(ParseEndTime("none"), 0);
    EXPECT_EQ(ParseEndTime("- 5"), 0);
    EXPECT_EQ(ParseEndTime(""), 0);
    EXPECT_EQ(ParseEndTime("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseEndTime("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseEndTime("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseEndTime("2147483648"), INT_MAX);
}

TEST(ScriptParser, TheEndTimeLineIsNotLowerCasedButOthersAre)
{
    Recorder r = parse("[part]\nSCENE\n  300\nCAMERA\nStandard\nSTANDARD\n");
    ASSERT_EQ(r.parts.size(), 1u);
    EXPECT_EQ(r.parts[0].sceneName, "scene");
    EXPECT_EQ(r.parts[0].endTime, 300);
    EXPECT_EQ(r.parts[0].backgroundName, "standard");
}

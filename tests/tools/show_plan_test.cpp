// The show's plan: the timing table and the script written from it.
#include "demo/playback.h"
#include "demo/script_parser.h"
#include "show_script.h"
#include "show_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The script's entries as "kind:key" in file order, its texture and scene keys, its parts.
struct ScriptContents {
    std::vector<std::string> calls;
    std::vector<std::string> textures;
    std::vector<std::string> scenes;
    std::vector<TimelineEntry> parts;
};

ScriptContents readScript(const std::string& text)
{
    const ShowPlan plan = ParseScript(text);
    ScriptContents script;
    for (const PlanEntry& entry : plan.entries) {
        if (entry.kind == EntryKind::Soundtrack) {
            script.calls.push_back("mp3:" + entry.key);
        } else if (entry.kind == EntryKind::Texture) {
            script.calls.push_back("texture:" + entry.key);
            script.textures.push_back(entry.key);
        } else {
            script.calls.push_back("scene:" + entry.key);
            script.scenes.push_back(entry.key);
        }
    }
    script.parts.assign(plan.parts.begin(), plan.parts.end());
    return script;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

TEST(ShowTiming, MusicIsAWholeNumberOfBarsBetweenOneAndOneAndAHalfMinutes)
{
    EXPECT_EQ(show::MusicMs % show::MsPerBar, 0);
    EXPECT_GE(show::MusicMs, 60000);
    EXPECT_LE(show::MusicMs, 90000);
    // Scenes count part time in frames at the playback loop's rate.
    EXPECT_FLOAT_EQ(float(show::MsPerBeat) * FramesPerMillisecond, float(show::FramesPerBeat));
    EXPECT_EQ(show::FramesPerBar, show::FramesPerBeat * show::BeatsPerBar);
}

TEST(ShowTiming, PartsFollowEachOtherOnBarLines)
{
    ASSERT_GE(show::PartCount, 6);
    int previousEnd = 0;
    int previousBar = 0;
    for (int i = 0; i < show::PartCount; ++i) {
        const show::ShowPart& part = show::Parts[i];
        EXPECT_EQ(part.firstBar, previousBar) << "part " << i;
        EXPECT_GT(part.endBar, part.firstBar) << "part " << i;
        EXPECT_GT(part.endMs, previousEnd) << "part " << i;
        if (i + 1 < show::PartCount) {
            EXPECT_EQ(part.endMs, show::barStartMs(part.endBar)) << "part " << i;
        }
        previousEnd = part.endMs;
        previousBar = part.endBar;
    }
    // The last part ends inside the final bar, before the music stops, so that the clock
    // can pass its end.
    EXPECT_EQ(previousBar, show::Bars);
    EXPECT_LT(show::LastPartEndMs, show::MusicMs);
    EXPECT_GT(show::LastPartEndMs, show::barStartMs(show::Bars - 1));
    EXPECT_EQ(show::Parts[show::PartCount - 1].endMs, show::LastPartEndMs);
}

TEST(ShowScript, ListsTheMusicAndTheTexturesBeforeTheScenes)
{
    const ScriptContents script = readScript(scriptText());
    ASSERT_FALSE(script.calls.empty());
    EXPECT_EQ(script.calls[0], std::string("mp3:") + show::MusicFile);
    // Materials find only textures listed before their scene.
    size_t lastTexture = 0;
    size_t firstScene = script.calls.size();
    for (size_t i = 0; i < script.calls.size(); ++i) {
        if (script.calls[i].rfind("texture:", 0) == 0) {
            lastTexture = i;
        }
        if (script.calls[i].rfind("scene:", 0) == 0) {
            firstScene = std::min(firstScene, i);
        }
    }
    EXPECT_GT(lastTexture, 0u);
    EXPECT_LT(lastTexture, firstScene);

    std::vector<std::string> scenes(std::begin(show::SceneFiles), std::end(show::SceneFiles));
    EXPECT_EQ(script.scenes, scenes);
}

TEST(ShowScript, PartsReadBackAsPlanned)
{
    const ScriptContents script = readScript(scriptText());
    ASSERT_EQ(script.parts.size(), size_t(show::PartCount));
    for (int i = 0; i < show::PartCount; ++i) {
        const show::ShowPart& plan = show::Parts[i];
        const TimelineEntry& read = script.parts[size_t(i)];
        EXPECT_EQ(read.sceneName, plan.scene);
        EXPECT_EQ(read.endTime, plan.endMs);
        EXPECT_EQ(read.cameraName, plan.camera);
        EXPECT_EQ(read.backgroundName, plan.background);
        EXPECT_EQ(read.overlayName, plan.overlay);
    }
}

TEST(ShowScript, PartsNameRegisteredImagesOfTheKindThatShowsUpright)
{
    const ScriptContents script = readScript(scriptText());
    int withBackground = 0;
    int withOverlay = 0;
    int plain = 0;
    for (const TimelineEntry& part : script.parts) {
        EXPECT_TRUE(contains(script.scenes, part.sceneName)) << part.sceneName;
        bool background = part.backgroundName != "standard";
        bool overlay = part.overlayName != "standard";
        // Backgrounds are drawn bottom row first, overlays top row first: only JPEG
        // backgrounds and PNG overlays come out the right way up.
        if (background) {
            EXPECT_TRUE(contains(script.textures, part.backgroundName)) << part.backgroundName;
            EXPECT_TRUE(endsWith(part.backgroundName, ".jpg")) << part.backgroundName;
        }
        if (overlay) {
            EXPECT_TRUE(contains(script.textures, part.overlayName)) << part.overlayName;
            EXPECT_TRUE(endsWith(part.overlayName, ".png")) << part.overlayName;
        }
        withBackground += background;
        withOverlay += overlay;
        plain += !background && !overlay;
    }
    EXPECT_GT(withBackground, 0);
    EXPECT_GT(withOverlay, 0);
    EXPECT_GT(plain, 0);
}

TEST(ShowScript, EveryLineIsAlreadyLowerCase)
{
    // The player lower-cases every line; file names written in lower case are then
    // found as they are on a case-sensitive file system.
    std::string text = scriptText();
    size_t bodyStart = text.find("[mp3]");
    ASSERT_NE(bodyStart, std::string::npos);
    std::string body = text.substr(bodyStart);
    EXPECT_EQ(body, LowerCase(body));
}

// A demo script cut short or with a byte changed still parses into lower-cased entries
// and whole parts.
#include "damage.h"
#include "support/missing.h"

#include "demo/script_parser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A show's script: every section, CR LF line ends, a comment, parts back to back.
const char* const showScript =
    "Taldrex\r\n\r\n[mp3]\r\nMusic.mp3\r\n\r\n[textures]\r\nLogo.png\r\nSky.JPG\r\n"
    "Both.jpg.png\r\n\r\n[scenes]\r\nCity.scn\r\nsub\\Room.scn\r\n\r\nfree text between sections\r\n"
    "[part]\r\ncity.scn\r\n12000\r\nCamera01\r\nsky.jpg\r\nstandard\r\n"
    "[Part] two\r\nroom.scn\r\n  -42x\r\ncam\r\nstandard\r\nlogo.png\r\n"
    "[part]\r\ncity.scn\r\n99999999999999\r\ncamera\r\nstandard\r\nstandard\r\n";

class Recorder : public ScriptSink {
public:
    void partCount(int count) override { announced = count; }
    void mp3Entry(const std::string& line) override { lines.push_back(line); }
    void textureEntry(const std::string& line) override { lines.push_back(line); }
    void sceneEntry(const std::string& line) override { lines.push_back(line); }
    void part(const TimelineEntry& entry) override
    {
        for (const std::string* line : {&entry.sceneName, &entry.cameraName, &entry.backgroundName,
                                        &entry.overlayName})
            lines.push_back(*line);
        ++parts;
    }
    std::vector<std::string> lines;
    int parts = 0;
    int announced = -1;
};

// Sweeps one script; whole is how many parts the undamaged script holds.
void sweepScript(const std::string& script, int wholeParts)
{
    SweepFigures figures = sweepDamage(script, 200, 0x5C1217, [&](const DamagedCopy& copy) {
        Recorder recorder;
        ParseScript(copy.bytes, recorder);
        // The count told first is the number of parts that follow.
        ASSERT_EQ(recorder.announced, recorder.parts);
        for (const std::string& line : recorder.lines) {
            for (char c : line) {
                ASSERT_FALSE((c >= 'A' && c <= 'Z') || c == '\n') << "in \"" << line << "\"";
            }
        }
        // Removing text can only end parts early, never add one.
        if (copy.cut) {
            EXPECT_LE(recorder.parts, wholeParts);
        }
    });
    EXPECT_EQ(figures.copies, 400);
    EXPECT_LE(figures.largestRise, loadMemoryBound(script.size()));
}

TEST(ScriptDamage, EveryDamagedCopyParsesIntoLowerCaseLines)
{
    const std::string script = showScript;
    Recorder whole;
    ParseScript(script, whole);
    ASSERT_EQ(whole.parts, 3);
    sweepScript(script, whole.parts);
}

TEST(ScriptDamage, TheBundledShowsScriptToo)
{
    const std::string script = readWholeFile(bundledShowFolder() + "/script.txt");
    if (script.empty())
        SKIP_FOR_MISSING("the bundled show has not been built");
    Recorder whole;
    ParseScript(script, whole);
    ASSERT_GT(whole.parts, 0);
    sweepScript(script, whole.parts);
}

} // namespace

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

// Every key and name of a plan: entries, and the four names of each part.
std::vector<std::string> namesOf(const ShowPlan& plan)
{
    std::vector<std::string> names;
    for (const PlanEntry& entry : plan.entries)
        names.push_back(entry.key);
    for (const TimelineEntry& part : plan.parts)
        for (const std::string* name : {&part.sceneName, &part.cameraName, &part.backgroundName, &part.overlayName})
            names.push_back(*name);
    return names;
}

// Sweeps one script; whole is how many parts the undamaged script holds.
void sweepScript(const std::string& script, int wholeParts)
{
    SweepFigures figures = sweepDamage(script, 200, 0x5C1217, [&](const DamagedCopy& copy) {
        const ShowPlan plan = ParseScript(copy.bytes);
        // Each part has the line of its header.
        ASSERT_EQ(plan.partLines.size(), static_cast<size_t>(plan.parts.size()));
        for (const std::string& line : namesOf(plan)) {
            for (char c : line) {
                ASSERT_FALSE((c >= 'A' && c <= 'Z') || c == '\n') << "in \"" << line << "\"";
            }
        }
        // Removing text can only end parts early, never add one.
        if (copy.cut) {
            EXPECT_LE(plan.parts.size(), wholeParts);
        }
    });
    EXPECT_EQ(figures.copies, 400);
    EXPECT_LE(figures.largestRise, loadMemoryBound(script.size()));
}

TEST(ScriptDamage, EveryDamagedCopyParsesIntoLowerCaseLines)
{
    const std::string script = showScript;
    ASSERT_EQ(ParseScript(script).parts.size(), 3);
    sweepScript(script, 3);
}

TEST(ScriptDamage, TheBundledShowsScriptToo)
{
    const std::string script = readWholeFile(bundledShowFolder() + "/script.txt");
    if (script.empty())
        SKIP_FOR_MISSING("the bundled show has not been built");
    const int wholeParts = ParseScript(script).parts.size();
    ASSERT_GT(wholeParts, 0);
    sweepScript(script, wholeParts);
}

} // namespace

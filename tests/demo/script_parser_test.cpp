#include "demo/script_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const char* kindName(EntryKind kind)
{
    return kind == EntryKind::Soundtrack ? "mp3" : kind == EntryKind::Texture ? "texture" : "scene";
}

// The plan as lines: entries in file order, then parts, lists and stray lines.
std::vector<std::string> describe(const ShowPlan& plan)
{
    std::vector<std::string> lines;
    for (const PlanEntry& entry : plan.entries)
        lines.push_back(std::string(kindName(entry.kind)) + " " + entry.key + " @" + std::to_string(entry.line) +
                        (entry.firstListing ? "" : " again"));
    for (int i = 0; i < plan.parts.size(); ++i) {
        const TimelineEntry& part = plan.parts[i];
        lines.push_back("part @" + std::to_string(plan.partLines[static_cast<size_t>(i)]) + " " + part.sceneName +
                        "|" + std::to_string(part.endTime) + "|" + part.cameraName + "|" + part.backgroundName + "|" +
                        part.overlayName);
    }
    for (const PlanList& list : plan.lists)
        lines.push_back(std::string("list ") + kindName(list.kind) + " " + std::to_string(list.header) + "-" +
                        std::to_string(list.end));
    for (const PlanStrayLine& stray : plan.strayLines)
        lines.push_back("stray @" + std::to_string(stray.line) + " " + stray.text);
    return lines;
}

struct ScriptCase {
    const char* what;
    const char* script;
    std::vector<std::string> plan;
};

} // namespace

TEST(ShowPlan, ScriptsReadIntoPlans)
{
    const ScriptCase cases[] = {
        {"headers are found anywhere in the lower-cased line; other top-level text is stray",
         "intro text\n[TEXTURES]\nLogo.JPG\n\n  [Scenes] of the show\nA.3DS\n\n"
         "[part] one\nA.3ds\n100\nCam\nLOGO.jpg\nStandard\n",
         {"texture logo.jpg @3", "scene a.3ds @6", "part @8 a.3ds|100|cam|logo.jpg|standard", "list texture 2-4",
          "list scene 5-7", "stray @1 intro text"}},
        {"a line holding two headers opens the first in header order", "[part][mp3]\nsong.mp3\n",
         {"mp3 song.mp3 @2", "list mp3 1-3"}},
        {"a list runs into the next header when no empty line ends it",
         "[textures]\na.jpg\n[scenes]\nb.3ds\n\n[scenes]\nc.3ds\n",
         {"texture a.jpg @2", "texture [scenes] @3", "texture b.3ds @4", "scene c.3ds @7", "list texture 1-5",
          "list scene 6-8"}},
        {"a part reads its five lines whatever they hold; cut short, the rest are empty and the end 0",
         "[part]\ns1\n10\n\n[part]\nover\n[part]\ns2\n20\ncam\nbg\nov\n[part]\ns3\n",
         {"part @1 s1|10||[part]|over", "part @7 s2|20|cam|bg|ov", "part @13 s3|0|||"}},
        {"entries keep leading spaces; CR LF ends a line; a last line needs no terminator",
         "[textures]\r\n  Logo.jpg\r\nboth.jpg.png\r\n\r\n[mp3]\r\nsong.mp3",
         {"texture   logo.jpg @2", "texture both.jpg.png @3", "mp3 song.mp3 @6", "list texture 1-4",
          "list mp3 5-7"}},
        {"only a CR right before a LF is dropped", "[scenes]\na\rb.3ds\r\n\r\n",
         {"scene a\rb.3ds @2", "list scene 1-3"}},
        {"the end-time line is read as a number, the others lower-cased",
         "[part]\nSCENE\n  300\nCAMERA\nStandard\nSTANDARD\n", {"part @1 scene|300|camera|standard|standard"}},
        {"a key listed again in any case is marked as such, per kind",
         "[textures]\na.jpg\nA.JPG\n\n[scenes]\na.jpg\ns.scn\nS.scn\n",
         {"texture a.jpg @2", "texture a.jpg @3 again", "scene a.jpg @6", "scene s.scn @7", "scene s.scn @8 again",
          "list texture 1-4", "list scene 5-9"}},
        {"blank and comment lines are not stray; an unknown header and what is under it are",
         "# note\n  \t\nStray\n[unknown]\nunder\n", {"stray @3 stray", "stray @4 [unknown]", "stray @5 under"}},
        {"a header on the last line opens an empty list", "[mp3]", {"list mp3 1-2"}},
        {"an empty script plans nothing", "", {}},
    };
    for (const ScriptCase& c : cases)
        EXPECT_EQ(describe(ParseScript(c.script)), c.plan) << c.what;
}

TEST(ShowPlan, StrayLinesPastTheFirstHundredAreOnlyCounted)
{
    std::string script;
    for (int i = 0; i < 250; ++i)
        script += "junk\n";
    const ShowPlan plan = ParseScript(script);
    EXPECT_EQ(plan.strayLines.size(), ShowPlan::MaxStrayLines);
    EXPECT_EQ(plan.moreStrayLines, 150);
    EXPECT_EQ(plan.firstMoreStrayLine, 101);
}

TEST(ShowPlan, TheRulesBesideThePlan)
{
    const struct {
        const char* key;
        bool jpeg, png;
        const char* header;
    } keys[] = {
        {"logo.jpg", true, false, nullptr},
        {"logo.png", false, true, nullptr},
        {"both.jpg.png", true, true, nullptr},
        {"sky.tga", false, false, nullptr},
        {"[scenes]", false, false, "[scenes]"},
        {"[part] [mp3] x.jpg", true, false, "[mp3]"},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(PicturesOf(k.key).jpeg, k.jpeg) << k.key;
        EXPECT_EQ(PicturesOf(k.key).png, k.png) << k.key;
        EXPECT_EQ(PicturesOf(k.key).any(), k.jpeg || k.png) << k.key;
        const char* header = HeaderHeldBy(k.key);
        EXPECT_EQ(std::string(header ? header : "-"), std::string(k.header ? k.header : "-")) << k.key;
    }
    // The last soundtrack listed is the one that plays.
    const ShowPlan plan = ParseScript("[mp3]\nfirst.mp3\n\n[textures]\na.jpg\n\n[mp3]\nlast.mp3\n");
    ASSERT_NE(PlanSoundtrack(plan), nullptr);
    EXPECT_EQ(PlanSoundtrack(plan)->key, "last.mp3");
    EXPECT_EQ(PlanSoundtrack(ParseScript("[textures]\na.jpg\n")), nullptr);
}

TEST(ShowPlan, EndTimesAreReadAsAtoiWouldAndSaturate)
{
    const std::pair<const char*, int> lines[] = {
        {"5000", 5000},
        {"  \t 42ms", 42},
        {"-17", -17},
        {"+8", 8},
        {"none", 0},
        {"- 5", 0},
        {"", 0},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
    };
    for (const auto& [line, value] : lines)
        EXPECT_EQ(ParseEndTime(line), value) << '"' << line << '"';
}

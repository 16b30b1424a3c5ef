#include "player/timeline_edits.h"

#include "demo/script_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// A show's timeline read from its script, and the edits over it.
struct Edited {
    explicit Edited(const std::string& script) : timeline(ParseScript(script).parts), edits(timeline)
    {
        edits.start(script);
    }
    TimelineArray timeline;
    TimelineEdits edits;
};

// The timeline a script reads as, one line a part.
std::string partsOf(const TimelineArray& timeline)
{
    std::string out;
    for (int i = 0; i < timeline.size(); ++i) {
        const TimelineEntry& p = timeline[i];
        out += p.sceneName + "|" + std::to_string(p.endTime) + "|" + p.cameraName + "|" + p.backgroundName + "|" +
            p.overlayName + "\n";
    }
    return out;
}

const char* const Crlf = "# my show\r\n[textures]\r\nblue.jpg\r\n\r\n[scenes]\r\nSquare.scn\r\n\r\n"
                         "[Part] intro\r\nSquare.scn\r\n2250\r\nEye\r\nBlue.jpg\r\nstandard\r\n\r\n"
                         "# the second\r\n[Part]\r\nsquare.scn\r\n 4000 ms\r\neye\r\nstandard\r\nstandard\r\n\r\n"
                         "[Part]\r\nsquare.scn\r\n6000\r\nside\r\nblue.jpg\r\nstandard\r\n";

const char* const Packed = "[part]\na\n1000\nc1\nstandard\nstandard\n[part]\nb\n2000\nc2\nstandard\nstandard\n";

struct EditCase {
    const char* what;
    const char* script;
    std::function<void(TimelineEdits&)> edit;
    const char* written;
};

TEST(TimelineEdits, WriteOnlyTheLinesThatChangedInTheScriptsOwnStyle)
{
    const EditCase cases[] = {
        {"an end time keeps its spaces, what follows it and the line ends", Crlf,
            [](TimelineEdits& e) { e.setEnd(1, 4500); },
            "# my show\r\n[textures]\r\nblue.jpg\r\n\r\n[scenes]\r\nSquare.scn\r\n\r\n"
            "[Part] intro\r\nSquare.scn\r\n2250\r\nEye\r\nBlue.jpg\r\nstandard\r\n\r\n"
            "# the second\r\n[Part]\r\nsquare.scn\r\n 4500 ms\r\neye\r\nstandard\r\nstandard\r\n\r\n"
            "[Part]\r\nsquare.scn\r\n6000\r\nside\r\nblue.jpg\r\nstandard\r\n"},
        {"a cut copies the part's lines, its header spelled as written, after an empty line", Crlf,
            [](TimelineEdits& e) { e.cut(0, 1000); },
            "# my show\r\n[textures]\r\nblue.jpg\r\n\r\n[scenes]\r\nSquare.scn\r\n\r\n"
            "[Part] intro\r\nSquare.scn\r\n1000\r\nEye\r\nBlue.jpg\r\nstandard\r\n\r\n"
            "[Part]\r\nSquare.scn\r\n2250\r\nEye\r\nBlue.jpg\r\nstandard\r\n\r\n"
            "# the second\r\n[Part]\r\nsquare.scn\r\n 4000 ms\r\neye\r\nstandard\r\nstandard\r\n\r\n"
            "[Part]\r\nsquare.scn\r\n6000\r\nside\r\nblue.jpg\r\nstandard\r\n"},
        {"a join drops the next part and the empty line before it, not the comment", Crlf,
            [](TimelineEdits& e) { e.join(1); },
            "# my show\r\n[textures]\r\nblue.jpg\r\n\r\n[scenes]\r\nSquare.scn\r\n\r\n"
            "[Part] intro\r\nSquare.scn\r\n2250\r\nEye\r\nBlue.jpg\r\nstandard\r\n\r\n"
            "# the second\r\n[Part]\r\nsquare.scn\r\n 6000 ms\r\neye\r\nstandard\r\nstandard\r\n"},
        {"a name chosen is written as chosen; the names left alone keep their case", Crlf,
            [](TimelineEdits& e) { e.setName(0, PartName::Camera, "side"); },
            "# my show\r\n[textures]\r\nblue.jpg\r\n\r\n[scenes]\r\nSquare.scn\r\n\r\n"
            "[Part] intro\r\nSquare.scn\r\n2250\r\nside\r\nBlue.jpg\r\nstandard\r\n\r\n"
            "# the second\r\n[Part]\r\nsquare.scn\r\n 4000 ms\r\neye\r\nstandard\r\nstandard\r\n\r\n"
            "[Part]\r\nsquare.scn\r\n6000\r\nside\r\nblue.jpg\r\nstandard\r\n"},
        {"parts packed without empty lines stay packed", Packed,
            [](TimelineEdits& e) { e.cut(1, 1500, "c9"); },
            "[part]\na\n1000\nc1\nstandard\nstandard\n[part]\nb\n1500\nc2\nstandard\nstandard\n"
            "[part]\nb\n2000\nc9\nstandard\nstandard\n"},
        {"a cut after a part the file cuts short completes it first",
            "[part]\na\n1000\ncam", [](TimelineEdits& e) { e.cut(0, 400); },
            "[part]\na\n400\ncam\n\n\n[part]\na\n1000\ncam\n\n\n"},
        {"a join keeps the empty line that ends a list before the part",
            "[part]\na\n1000\nc\nstandard\nstandard\n\n[textures]\nx.png\n\n[part]\nb\n2000\nc\nstandard\nstandard\n",
            [](TimelineEdits& e) { e.join(0); },
            "[part]\na\n2000\nc\nstandard\nstandard\n\n[textures]\nx.png\n\n"},
        {"a cut, a join and a camera step, then everything undone", Crlf,
            [](TimelineEdits& e) {
                e.cut(2, 5000);
                e.join(0);
                e.setName(0, PartName::Camera, "top");
                while (e.undo()) {
                }
            },
            Crlf},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.what);
        Edited show(c.script);
        c.edit(show.edits);
        const std::string written = show.edits.script();
        EXPECT_EQ(written, c.written);
        // What is written reads back as the timeline edited.
        EXPECT_EQ(partsOf(ParseScript(written).parts), partsOf(show.timeline));
    }
}

TEST(TimelineEdits, UndoAfterASaveWritesTheScriptBackByteForByte)
{
    Edited show(Crlf);
    show.edits.cut(0, 1000);
    show.edits.join(1);
    show.edits.setName(2, PartName::Background, "standard");
    EXPECT_TRUE(show.edits.unsaved());
    const std::string saved = show.edits.script();
    show.edits.saved();
    EXPECT_FALSE(show.edits.unsaved());

    while (show.edits.undo()) {
    }
    EXPECT_TRUE(show.edits.unsaved());
    EXPECT_EQ(show.edits.script(), Crlf);
    while (show.edits.redo()) {
    }
    EXPECT_FALSE(show.edits.unsaved());
    EXPECT_EQ(show.edits.script(), saved);
}

TEST(TimelineEdits, StepsUndoRedoAndForgetTheOldest)
{
    Edited show(Packed);
    EXPECT_FALSE(show.edits.setEnd(0, 1000)) << "no change, no step";
    EXPECT_FALSE(show.edits.join(1)) << "the last part has none after it";
    EXPECT_FALSE(show.edits.unsaved());

    // A drag is one step, however far it went.
    show.edits.dragEnd(0, 1200);
    show.edits.dragEnd(0, 1400);
    EXPECT_TRUE(show.edits.endDrag());
    EXPECT_EQ(show.edits.undoSteps(), 1);
    EXPECT_TRUE(show.edits.undo());
    EXPECT_EQ(show.timeline[0].endTime, 1000);
    EXPECT_FALSE(show.edits.unsaved());
    EXPECT_TRUE(show.edits.redo());
    EXPECT_EQ(show.timeline[0].endTime, 1400);

    // A new edit drops what could be redone.
    EXPECT_TRUE(show.edits.undo());
    EXPECT_TRUE(show.edits.setEnd(1, 3000));
    EXPECT_FALSE(show.edits.redo());

    for (int i = 0; i < TimelineEdits::MostSteps + 50; ++i)
        show.edits.setEnd(1, 3001 + i);
    int undone = 0;
    while (show.edits.undo())
        ++undone;
    EXPECT_EQ(undone, TimelineEdits::MostSteps);
    EXPECT_EQ(show.timeline[1].endTime, 3050) << "back to the oldest step remembered";
    EXPECT_TRUE(show.edits.unsaved());
}

} // namespace

// Writing the timeline back into "script.txt": only the lines of parts that changed are
// rewritten, new parts are written in the file's own style, and every other byte stays.
#pragma once

#include "demo/timeline.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

struct ShowPlan;

// A part's lines as a script holds them, without terminators: the "[part]" header, then the
// scene, end time, camera, background and overlay lines. blankBefore: an empty line comes
// right before the header.
struct PartLines {
    std::array<std::string, 6> lines;
    bool blankBefore = false;
    bool known = false; // false: nothing is known of the part's lines
};

// A part as the edits leave it.
struct WrittenPart {
    TimelineEntry entry;
    // Its part in the script written over (an index into the plan's parts), or -1 for a part
    // the script does not hold. The parts the script holds come in its order.
    int scriptPart = -1;
    // For a part the script does not hold: the lines it was last written with, or those of
    // the part it was cut from. A line whose value still reads the same is written as it
    // was (letter case, spaces, what follows the end time); the others are written anew.
    PartLines style;
};

// A script's lines, found once, for the lines of its parts to be read from. text must
// outlive it.
class ScriptLines {
public:
    explicit ScriptLines(std::string_view text);
    // The lines of part (an index into the parts of plan, read from the text).
    PartLines part(const ShowPlan& plan, int part) const;
    int count() const { return static_cast<int>(starts_.size()); }
    // Line index (from 0) without its terminator (LF, or CR LF), and the terminator: empty
    // for a last line without one, and both empty past the end.
    std::string_view text(int index) const;
    std::string_view end(int index) const;

private:

    std::string_view text_;
    std::vector<size_t> starts_;
};

// text, the script plan was read from, with its parts made those of parts: a part of the
// script whose values changed has only those lines rewritten (an end time keeps the
// spaces before its number and whatever follows it), a part the script holds that parts
// leave out loses its header and five lines (and the empty line before them when it only
// separates it from the part before), and a part new to the script follows the part
// before it, with its header spelled and its lines ended as the script's are. Lines
// outside parts are kept byte for byte. When parts are the script's own, returns text.
std::string WriteScript(std::string_view text, const ShowPlan& plan, const std::vector<WrittenPart>& parts);

// The demo script's meaning: "script.txt" read once into a plan of its soundtrack, texture
// and scene entries, parts and ignored lines, which every reader of the script uses.
#pragma once

#include "common/ascii_case.h"
#include "demo/timeline.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What a list entry names, by the section its list was opened by.
enum class EntryKind { Soundtrack, Texture, Scene };

// One line of a list, lower-cased, exactly as written otherwise: spaces are kept, as they
// are part of the registry key and of the file's name under data\.
struct PlanEntry {
    EntryKind kind = EntryKind::Texture;
    std::string key;
    int line = 0;              // number of its line in the script, from 1
    bool firstListing = true;  // false when an earlier entry of the same kind has this key
};

// A list: its header line, and the line its entries stop before (the empty line that ends
// it, or one past the script's last line).
struct PlanList {
    EntryKind kind = EntryKind::Texture;
    int header = 0;
    int end = 0;
};

// A line outside any list or part that opens no section and is neither blank nor a comment
// (a '#' first): the show reads past it without a word. Lower-cased.
struct PlanStrayLine {
    int line = 0;
    std::string text;
};

struct ShowPlan {
    // Every list entry in file order; an entry's index is its place among all entries.
    std::vector<PlanEntry> entries;
    std::vector<PlanList> lists;
    // The parts in file order, and the line of each part's "[part]" header; the part's five
    // lines (scene, end time, camera, background, overlay) follow it directly.
    TimelineArray parts;
    std::vector<int> partLines;
    // The first MaxStrayLines stray lines; past them only a count and the first one's line,
    // so that a script of junk costs no memory beyond its count.
    static constexpr size_t MaxStrayLines = 100;
    std::vector<PlanStrayLine> strayLines;
    long long moreStrayLines = 0;
    int firstMoreStrayLine = 0;
};

// The section headers, in the order a line holding several is read by: the first one found.
constexpr std::array<const char*, 4> ScriptHeaders = {"[mp3]", "[textures]", "[scenes]", "[part]"};

// Reads a whole script. LF ends a line, a CR right before it goes with it, and a last line
// without a terminator still counts. Never fails: lines that match nothing are comments.
// Reserves once, by a first count of the entries and parts.
ShowPlan ParseScript(std::string_view text);

// The end-time line read as atoi does (leading white space, optional sign, digits up to
// the first non-digit; none gives 0), saturating at the int32 range instead of overflowing.
int ParseEndTime(const std::string& line);

// The first section header a list entry holds, or null: inside a list a header opens
// nothing and is read as one more entry.
const char* HeaderHeldBy(const std::string& key);

// The pictures a texture entry is built from, by the ".jpg" and ".png" it holds anywhere.
// A line naming both is built as a JPEG, then again as a PNG that takes its place: it
// keeps the PNG. A line naming neither is no texture. A line listed again keeps the
// texture built first; a scene listed again is loaded again (finding the textures listed
// since).
struct TexturePictures {
    bool jpeg = false;
    bool png = false;
    bool any() const { return jpeg || png; }
};
TexturePictures PicturesOf(const std::string& key);

// The soundtrack the show plays: the last "[mp3]" entry, or null when there is none.
const PlanEntry* PlanSoundtrack(const ShowPlan& plan);

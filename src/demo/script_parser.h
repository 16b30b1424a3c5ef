// The demo script's grammar: sections, list entries and part blocks of "script.txt".
#pragma once

#include "common/ascii_case.h"
#include "demo/timeline.h"

#include <string>
#include <string_view>

// Receives what the parser finds, in file order. Lines arrive lower-cased, exactly as
// written otherwise (spaces are kept; they are part of keys and paths).
class ScriptSink {
public:
    virtual ~ScriptSink() = default;
    // Told first, before any entry, how many parts the script holds, so that a sink can
    // make room for all of them at once.
    virtual void partCount(int) {}
    virtual void mp3Entry(const std::string& line) = 0;
    virtual void textureEntry(const std::string& line) = 0;
    virtual void sceneEntry(const std::string& line) = 0;
    virtual void part(const TimelineEntry& entry) = 0;
    // Told just before each entry and each part the number (from 1) of its line; a part's
    // five lines follow its [part] line directly.
    virtual void lineNumber(int) {}
    // A line outside any list or part that opens no section: the show ignores it.
    virtual void ignoredLine(int /*number*/, const std::string& /*lower*/) {}
};

// Parses a whole script. LF ends a line, a CR right before it goes with it, and a last
// line without a terminator still counts. Never fails: unknown lines are comments.
void ParseScript(std::string_view text, ScriptSink& sink);

// The end-time line read as atoi does (leading white space, optional sign, digits up to
// the first non-digit; none gives 0), saturating at the int32 range instead of overflowing.
int ParseEndTime(const std::string& line);


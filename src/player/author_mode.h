// Author mode: the loaded show in its window under the maker's keys (pause, seek, part
// jumps, frame steps, speed, looping), with a status bar and the folder's problems on
// screen. The show's own rules stay in the playback loop; this is the maker's view of it.
#pragma once

#include "player/author_clock.h"

#include <cstddef>
#include <string>
#include <vector>

class Platform;
class Show;
class Screenshots;
struct CheckProblem;
struct SoundStream;

// What author mode needs of a watch on the show's files: started once with the demo
// folder, polled once a frame to reload what changed (true when anything was, the
// timeline included), and the problems of the last reload (none after a clean one).
class ShowWatch {
public:
    virtual ~ShowWatch() = default;
    // False when the folder cannot be watched at all.
    virtual bool start(const std::string& folder) = 0;
    virtual bool poll(SoundStream*& stream) = 0;
    virtual const std::vector<std::string>& problems() const = 0;
    // While held, a change of script.txt on disk is not loaded but waits, and scriptWaiting()
    // says so; once the hold ends, a poll loads it. script(): the script the timeline was
    // loaded from last, or saved as (scriptSaved), empty when none is known.
    virtual void holdScript(bool) {}
    virtual bool scriptWaiting() const { return false; }
    virtual const std::string& script() const = 0;
    virtual void scriptSaved(const std::string&) {}
};

// The problems as the screen and standard error list them: "FILE: problem", printable.
std::vector<std::string> ProblemLines(const std::vector<CheckProblem>& problems);

// The line a normal run prints at its start when the folder has count problems, naming
// the command that lists them; empty when count is 0.
std::string ProblemSummary(size_t count, const std::string& folder);

// The status bar's line into text (size bytes): part number and count, scene and camera
// (names cut at 40 and 32 bytes), part time in frames, the clock as mm:ss.mmm, with a
// beat grid the bar and beat as "bar 12.3", speed, paused or playing, looping, frames per
// second and draw time, after "unsaved edits" when unsaved is set. Allocates nothing.
void FormatStatus(char* text, size_t size, const TimelineArray& timeline, const ShowPosition& position,
                  const AuthorClock& clock, double fps, double drawMs, const BeatGrid& beats = BeatGrid(),
                  bool unsaved = false);

// Draws show at position into the current context, a drawable of width x height whose
// viewport is set, as author mode shows it: after a jump (jumped set) the parts before it
// first choose their cameras again, in order, as playing to it would have. Past the last
// part the picture is black. Does not swap.
void DrawShowAt(Show& show, const ShowPosition& position, bool jumped, int width, int height);

// Plays show, already loaded, on platform from 0 until Escape, a frame at a time, each
// drawn where the playback step puts it at the transport's clock: on the music of stream
// (or the tick count without one), looping when loop is set until L says otherwise, with
// the timeline strip over the show and its
// soundtrack and the beats of beats (none without a tempo). problems are listed on
// screen until the watch reports a clean reload; watch may be null (nothing is reloaded
// then). S writes the show's picture into shots, when given, and the status bar says
// where for a moment.
void RunAuthorMode(Platform& platform, Show& show, SoundStream* stream, bool loop, const std::string& folder,
                   std::vector<std::string> problems, ShowWatch* watch, const BeatGrid& beats = BeatGrid(),
                   Screenshots* shots = nullptr);

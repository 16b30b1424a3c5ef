// Author mode's transport: the show as a function of a clock the maker moves, with the
// soundtrack kept in step. Plain code, driven by the window's keys and tick count, or by
// a test's.
#pragma once

#include "demo/part_timing.h"
#include "player/beat_grid.h"
#include "demo/timeline.h"

#include <cstddef>
#include <cstdint>

// The soundtrack as the transport drives it. The window plays the show's stream; tests
// record the calls.
class AuthorMusic {
public:
    virtual ~AuthorMusic() = default;
    // True while there is music that can play at the current clock (not ended, not absent).
    virtual bool audible() = 0;
    // The music's clock now, in ms of show time.
    virtual double position() = 0;
    // Moves the music so that its clock reads ms now, and plays it from there.
    virtual void play(double ms) = 0;
    // Holds the music silent.
    virtual void hold() = 0;
};

// The playing speeds, halved and doubled by the keys.
constexpr double SlowestSpeed = 0.25;
constexpr double FastestSpeed = 4.0;
// One frame step of show time: 1/30 s.
constexpr double FrameStepMs = 1000.0 / 30.0;

// ms of show time (below 0 as 0) as author mode writes it, "mm:ss.mmm", into text.
void FormatClock(char* text, size_t size, long long ms);

class AuthorClock {
public:
    // showEndMs: where the show ends (ShowEnd of the timeline).
    AuthorClock(AuthorMusic& music, double showEndMs);

    // Starts playing from 0 at tick nowMs.
    void start(uint32_t nowMs);
    // Moves the clock on to tick nowMs: unless paused, with the music while it plays at 1x,
    // otherwise by the ticks passed times the speed. Past the show's end the clock goes
    // back to 0 when looping, and otherwise stays at the end, paused.
    void advance(uint32_t nowMs);

    // The clock in ms of show time.
    double ms() const { return ms_; }
    bool paused() const { return paused_; }
    bool looping() const { return looping_; }
    double speed() const { return speed_; }
    // Counts the jumps of the clock (seeks, restarts, loops); playing on leaves it alone.
    int jumps() const { return jumps_; }

    // Pauses (music held) or resumes (music moved to the clock and played); resuming at
    // the end of the show plays it again from 0.
    void togglePause();
    // Sets the clock to ms, clamped to the show, and the music with it.
    void seek(double ms);
    // Moves the clock by frames x 1/30 s while paused; does nothing while playing.
    void step(int frames);
    // Halves or doubles the speed within SlowestSpeed..FastestSpeed. The music plays only
    // at 1x: at any other speed it is held.
    void slower();
    void faster();
    void setLooping(bool looping) { looping_ = looping; }
    // A new show end, after the timeline changed; the clock is clamped to it.
    void setShowEnd(double showEndMs);

private:
    bool musicLeads() const { return !paused_ && speed_ == 1.0; }
    void followSpeed();

    AuthorMusic& music_;
    double showEnd_;
    double ms_ = 0.0;
    uint32_t lastTick_ = 0;
    bool paused_ = false;
    bool looping_ = false;
    double speed_ = 1.0;
    int jumps_ = 0;
};

// What a key does in author mode, by Windows virtual-key code.
enum class AuthorKey {
    None,
    Pause,        // Space
    Back,         // Left, Down: 1 s back (10 s with Shift); with Ctrl and a beat grid
                  // the beat before (the bar before with Ctrl+Shift)
    Forward,      // Right, Up: 1 s on (10 s with Shift); with Ctrl, the next beat or bar
    PreviousPart, // PageUp, [
    NextPart,     // PageDown, ]
    Restart,      // Home
    StepBack,     // ,
    StepForward,  // .
    Slower,       // -
    Faster,       // =
    Loop,         // L
    HideBar,      // H
    Screenshot,   // S: the window run writes the picture shown; Ctrl+S saves the script
    // The edits of the timeline, which the window run makes (the transport ignores them).
    Cut,          // C: the current part cut in two at the playhead
    Join,         // J: the current part joined with the next
    Camera,       // V: the next camera of the part's scene (Shift: the one before)
    Background,   // B: the next picture behind the part (Shift: the one before)
    Overlay,      // O: the next picture over the part (Shift: the one before)
    Undo,         // Ctrl+Z (Ctrl+Shift+Z redoes)
    Redo,         // Ctrl+Y
    LiveCut,      // 1 to 9: the part ends at the playhead, and the next looks through the
                  // scene's first to ninth camera
};
struct AuthorKeyBinding {
    int virtualKey;
    AuthorKey key;
};
// Every key author mode reads, for the loop to take the presses of.
extern const AuthorKeyBinding AuthorKeyBindings[];
extern const int AuthorKeyBindingCount;
// The meaning of a virtual-key code; None for a key author mode does not read.
AuthorKey AuthorKeyOf(int virtualKey);

// The transport keys over a timeline: applies a key to the clock.
class AuthorTransport {
public:
    AuthorTransport(const TimelineArray& timeline, AuthorMusic& music);

    AuthorClock& clock() { return clock_; }
    // The beats Ctrl with Back and Forward steps along; none at first.
    void setBeats(const BeatGrid& beats) { beats_ = beats; }
    // Applies a transport key (HideBar, Screenshot and None do nothing here); shift and ctrl are Shift
    // and Ctrl held.
    void press(AuthorKey key, bool shift, bool ctrl = false);
    // The show at the clock after advancing it to tick nowMs.
    ShowPosition frame(uint32_t nowMs);
    // The timeline changed (reloaded): the end is taken again and the clock clamped.
    void timelineChanged();

    // Scrubbing with the mouse: the clock follows the pointer with the music held, and
    // once released the music plays on from there if it played before.
    void scrubStart(double ms);
    void scrubTo(double ms) { clock_.seek(ms); }
    void scrubEnd(double ms);

private:
    const TimelineArray& timeline_;
    AuthorClock clock_;
    BeatGrid beats_;
    bool playedBeforeScrub_ = false;
};

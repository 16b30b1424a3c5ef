#include "player/author_mode.h"

#include "common/printable_text.h"
#include "demo/check.h"
#include "demo/delayed_clock.h"
#include "demo/part_timing.h"
#include "demo/platform.h"
#include "demo/playback.h"
#include "demo/screenshot.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/window.h"
#include "gpu/viewport.h"
#include "player/author_clock.h"
#include "player/show_editor.h"
#include "player/status_bar.h"
#include "player/timeline_strip.h"
#include "player/waveform.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int ShiftKey = 0x10;
constexpr int ControlKey = 0x11;
constexpr int AltKey = 0x12;
// How long the status bar shows the editor's last message instead of the show's state.
constexpr uint32_t MessageMs = 3000;

// The show's stream as the transport drives it: moved and paused on the device, its clock
// shifted by the audio delay as in a normal run.
class StreamMusic : public AuthorMusic {
public:
    StreamMusic(Platform& platform, SoundStream* stream)
        : platform_(platform), stream_(stream), clock_(platform.audioDelayMs())
    {
    }

    // After a reload: another soundtrack, when the script named one, and the old one gone.
    void replace(SoundStream* stream)
    {
        if (stream == stream_)
            return;
        stream_ = stream;
        started_ = false;
        playing_ = false;
    }

    bool audible() override { return usable() && playing_ && !platform_.musicEnded(stream_); }

    double position() override
    {
        return clock_.read(platform_.musicPosition(stream_), platform_.musicEnded(stream_), platform_.ticks());
    }

    void play(double ms) override
    {
        if (!usable())
            return;
        if (!started_)
            started_ = platform_.startMusic(stream_);
        // The stream's clock reads its position plus the delay: it must read ms.
        const long long position = std::max(0LL, std::llround(ms) - platform_.audioDelayMs());
        platform_.seekMusic(stream_, static_cast<int>(std::min<long long>(position, 0x7fffffff)));
        clock_.restart();
        platform_.pauseMusic(stream_, false);
        playing_ = started_;
    }

    void hold() override
    {
        if (usable())
            platform_.pauseMusic(stream_, true);
        playing_ = false;
    }

private:
    bool usable() const { return stream_ && !platform_.soundOff(); }

    Platform& platform_;
    SoundStream* stream_;
    DelayedClock clock_;
    bool started_ = false;
    bool playing_ = false;
};

// Frames per second over the last half second, and the time a frame takes to draw.
class FrameMeter {
public:
    void frameStarted()
    {
        const Uint64 now = SDL_GetPerformanceCounter();
        if (windowStart_ == 0)
            windowStart_ = now;
        ++frames_;
        const double seconds = double(now - windowStart_) / double(SDL_GetPerformanceFrequency());
        if (seconds >= 0.5) {
            fps_ = frames_ / seconds;
            drawMs_ = drawSum_ * 1000.0 / double(SDL_GetPerformanceFrequency()) / frames_;
            frames_ = 0;
            drawSum_ = 0;
            windowStart_ = now;
        }
        started_ = now;
    }
    void frameDrawn() { drawSum_ += SDL_GetPerformanceCounter() - started_; }

    double fps() const { return fps_; }
    double drawMs() const { return drawMs_; }

private:
    Uint64 windowStart_ = 0;
    Uint64 started_ = 0;
    Uint64 drawSum_ = 0;
    int frames_ = 0;
    double fps_ = 0;
    double drawMs_ = 0;
};

// A camera name that no node of a part's scene contains leaves the scene the camera of an
// earlier part, as playing would have: after a jump, the parts before part choose their
// cameras again in order, those that are never current left out.
void chooseCamerasUpTo(Show& show, int part)
{
    ForShownPartsBefore(show.Timeline, part, [&show](const TimelineEntry& entry) {
        if (std::unique_ptr<Scene>* scene = show.SceneRegistry.find(entry.sceneName))
            SelectCamera(**scene, entry.cameraName);
    });
}

void printProblems(const std::vector<std::string>& problems)
{
    for (const std::string& line : problems)
        std::fprintf(stderr, "taldrex: %s\n", line.c_str());
}

// What the mouse did on the strip, done to the transport; a boundary dragged is the
// editor's.
void applyStripAction(AuthorTransport& transport, const StripAction& action)
{
    switch (action.kind) {
    case StripAction::Kind::ScrubStart:
        transport.scrubStart(action.ms);
        break;
    case StripAction::Kind::Scrub:
        transport.scrubTo(action.ms);
        break;
    case StripAction::Kind::ScrubEnd:
        transport.scrubEnd(action.ms);
        break;
    case StripAction::Kind::JumpToPart:
    case StripAction::Kind::Seek:
        transport.clock().seek(action.ms);
        break;
    case StripAction::Kind::MoveEnd:
    case StripAction::Kind::DropEnd:
    case StripAction::Kind::None:
        break;
    }
}

// The waveform of the show's soundtrack, worked out again when another one plays.
void followSoundtrack(Waveform& waveform, std::string& of, const Show& show)
{
    of = show.SoundtrackPath;
    if (of.empty() || !waveform.start(of, show.folder()))
        waveform.stop();
}

// Presses of the author keys while the show loaded do nothing; Escape still ends it.
void forgetPresses(Platform& platform)
{
    for (int i = 0; i < AuthorKeyBindingCount; ++i)
        platform.takeKeyPress(AuthorKeyBindings[i].virtualKey);
}

} // namespace

void FormatStatus(char* text, size_t size, const TimelineArray& timeline, const ShowPosition& position,
                  const AuthorClock& clock, double fps, double drawMs, const BeatGrid& beats, bool unsaved)
{
    char at[24];
    FormatClock(at, sizeof at, std::llround(std::floor(clock.ms())));
    const char* state = clock.paused() ? "paused" : "playing";
    const char* looping = clock.looping() ? "  loop" : "";
    // First, where a narrow window cannot cut it off.
    const char* edited = unsaved ? "unsaved edits  " : "";
    char beat[40] = "";
    if (HasBeats(beats)) {
        long long bar = 0;
        int inBar = 0;
        BarBeatAt(beats, clock.ms(), bar, inBar);
        std::snprintf(beat, sizeof beat, "  bar %lld.%d", bar, inBar);
    }
    if (position.part >= timeline.size()) {
        std::snprintf(text, size, "%sno part  %s%s  %gx  %s%s  %.0f fps %.1f ms", edited, at, beat, clock.speed(),
            state, looping, fps, drawMs);
        return;
    }
    const TimelineEntry& part = timeline[position.part];
    std::snprintf(text, size,
        "%spart %d/%d  %.40s  %.32s  frame %.1f  %s%s  %gx  %s%s  %.0f fps %.1f ms", edited, position.part + 1,
        timeline.size(), part.sceneName.c_str(), part.cameraName.c_str(), position.partTime, at, beat,
        clock.speed(), state, looping, fps, drawMs);
}

void DrawShowAt(Show& show, const ShowPosition& position, bool jumped, int width, int height)
{
    if (jumped)
        chooseCamerasUpTo(show, position.part);
    if (position.part < show.Timeline.size()) {
        show.DrawPart(show.Timeline[position.part], position.partTime, width, height);
    } else {
        ClearFrame();
    }
}

std::vector<std::string> ProblemLines(const std::vector<CheckProblem>& problems)
{
    std::vector<std::string> lines;
    lines.reserve(problems.size());
    for (const CheckProblem& p : problems)
        lines.push_back(PrintableText(p.file) + ": " + PrintableText(p.problem));
    return lines;
}

std::string ProblemSummary(size_t count, const std::string& folder)
{
    if (count == 0)
        return {};
    return "taldrex: " + std::to_string(count) + (count == 1 ? " problem" : " problems") +
        " in this show; run taldrex --check " + PrintableText(folder.empty() ? "." : folder);
}

namespace {

// Author mode one frame at a time: the maker's keys and pointer applied to the transport,
// a reload when the watch saw changes, then the show drawn where the playback step puts it
// at the transport's clock (a jump of the clock seeks there), the strip and bar over it.
class AuthorRun {
public:
    AuthorRun(Show& show, Platform& platform, SoundStream* stream, bool loop, std::vector<std::string> problems,
              ShowWatch* watch, const BeatGrid& beats, Screenshots* shots, std::string script)
        : show_(show), platform_(platform), stream_(stream), problems_(std::move(problems)), watch_(watch),
          beats_(beats), shots_(shots), music_(platform, stream), transport_(show.Timeline, music_),
          playback_(show.Timeline, false), editor_(show, beats, watch, std::move(script))
    {
        shown_ = problems_;
        std::string fontProblem;
        if (!bar_.load(StatusFontFiles(), std::clamp(platform.pictureHeight() / 40, 12, 32), fontProblem))
            std::fprintf(stderr, "taldrex: %s; the status bar has no text\n", fontProblem.c_str());
        // The transport loops the clock itself: the playback step sees each loop as a jump.
        transport_.clock().setLooping(loop);
        transport_.setBeats(beats);
        strip_.setShowEnd(ShowEnd(show.Timeline));
        followSoundtrack(waveform_, waveformOf_, show);
        if (shots_)
            shots_->prepare(platform.pictureWidth(), platform.pictureHeight());
        forgetPresses(platform);
        transport_.clock().start(platform.ticks());
        jumps_ = transport_.clock().jumps();
        playback_.start(0, false);
    }

    // One frame; false once Escape ends author mode (nothing is drawn then).
    bool frame()
    {
        platform_.pumpEvents();
        meter_.frameStarted();
        if (leaving(platform_.takeKeyPress(VK_ESCAPE_KEY)))
            return false;
        const bool shotWanted = takeKeys();
        const int width = platform_.pictureWidth();
        const int height = platform_.pictureHeight();
        strip_.place(width, height, bar_.height());
        const int pointerEvents = platform_.takePointerEvents(events_);
        for (int i = 0; i < pointerEvents && barShown_; ++i)
            pointer(strip_.pointer(events_[i], platform_.keyDown(ShiftKey), show_.Timeline));
        reload();

        const ShowPosition position = step();
        SetViewport(width, height);
        DrawShowAt(show_, position, transport_.clock().jumps() != jumps_, width, height);
        jumps_ = transport_.clock().jumps();
        // The show's picture, without the strip and bar drawn over it.
        if (shotWanted && shots_)
            shots_->takeAndReport(width, height, transport_.clock().ms(), platform_.ticks());
        FormatStatus(status_, sizeof status_, show_.Timeline, position, transport_.clock(), meter_.fps(),
            meter_.drawMs(), beats_, editor_.unsaved());
        showMessage();
        if (shots_)
            shots_->notice(status_, sizeof status_, platform_.ticks());
        // H clears the picture of the strip, the bar and the problems.
        if (barShown_) {
            const StripMarks marks{&show_.Timeline, beats_, transport_.clock().ms(), transport_.clock().looping()};
            strip_.draw(width, height, waveform_, marks, bar_);
            bar_.draw(width, height, status_, shown_, strip_.height());
        }
        meter_.frameDrawn();
        platform_.present();
        return true;
    }

private:
    // True when Escape ends author mode: at once without unsaved edits (held down as well),
    // and with them at the second press, the first asking.
    bool leaving(bool escape)
    {
        if (!editor_.unsaved())
            return escape || platform_.keyDown(VK_ESCAPE_KEY);
        if (!escape)
            return false;
        if (escapeAsked_)
            return true;
        escapeAsked_ = true;
        editor_.say("unsaved edits: Ctrl+S saves, Escape again leaves");
        return false;
    }

    // Applies the author keys pressed since the last frame; true when S asked for a screenshot.
    bool takeKeys()
    {
        bool shotWanted = false;
        const bool shift = modifier(ShiftKey);
        const bool ctrl = modifier(ControlKey);
        alt_ = modifier(AltKey);
        for (int i = 0; i < AuthorKeyBindingCount; ++i) {
            const AuthorKeyBinding& binding = AuthorKeyBindings[i];
            if (!platform_.takeKeyPress(binding.virtualKey))
                continue;
            switch (binding.key) {
            case AuthorKey::HideBar:
                barShown_ = !barShown_;
                break;
            case AuthorKey::Screenshot:
                if (ctrl)
                    save();
                else
                    shotWanted = true;
                break;
            case AuthorKey::Undo:
            case AuthorKey::Redo:
                if (ctrl)
                    edited(editor_.undo(binding.key == AuthorKey::Redo || shift));
                break;
            case AuthorKey::Cut:
            case AuthorKey::Join:
            case AuthorKey::Camera:
            case AuthorKey::Background:
            case AuthorKey::Overlay:
            case AuthorKey::LiveCut:
                edited(editor_.press(binding.key, binding.virtualKey - '0', transport_.clock().ms(), shift, alt_));
                break;
            default:
                transport_.press(binding.key, shift, ctrl);
                break;
            }
        }
        return shotWanted;
    }

    // True while the modifier key is down, or when it was pressed since the last frame: a
    // combination tapped between two frames is let go by the time the frame reads it.
    bool modifier(int virtualKey)
    {
        const bool tapped = platform_.takeKeyPress(virtualKey);
        return platform_.keyDown(virtualKey) || tapped;
    }

    // What the mouse did on the strip: a boundary dragged edits the timeline, the rest
    // moves the transport.
    void pointer(const StripAction& action)
    {
        if (action.kind != StripAction::Kind::MoveEnd && action.kind != StripAction::Kind::DropEnd) {
            applyStripAction(transport_, action);
            return;
        }
        bool dropped = false;
        const bool changed = editor_.drag(action, alt_ || platform_.keyDown(AltKey), dropped);
        // The strip keeps its scale until the boundary is let go.
        if (dropped)
            edited(true);
        else if (changed)
            timelineMoved();
    }

    // The timeline was edited (when changed is set): the show's end taken again, and the
    // picture sought to the clock.
    void edited(bool changed)
    {
        if (!changed)
            return;
        timelineMoved();
        strip_.setShowEnd(ShowEnd(show_.Timeline));
    }
    void timelineMoved()
    {
        transport_.timelineChanged();
        jumps_ = -1;
    }

    void save()
    {
        if (editor_.save(problems_)) {
            escapeAsked_ = false;
            showProblems();
        }
    }

    // The line of a script change waiting, then the show's problems.
    void showProblems()
    {
        shown_.clear();
        if (!editor_.waitingLine().empty())
            shown_.push_back(editor_.waitingLine());
        shown_.insert(shown_.end(), problems_.begin(), problems_.end());
    }

    // The editor's last message in the status bar instead of the show's state, for a moment.
    void showMessage()
    {
        const uint32_t now = platform_.ticks();
        if (editor_.messages() != messagesSeen_) {
            messagesSeen_ = editor_.messages();
            messageTick_ = now;
        }
        if (messagesSeen_ > 0 && now - messageTick_ < MessageMs)
            std::snprintf(status_, sizeof status_, "%s", editor_.message().c_str());
    }

    void reload()
    {
        SoundStream* const playing = stream_;
        editor_.holdScript();
        if (!watch_ || !watch_->poll(stream_))
            return;
        editor_.followWatch();
        music_.replace(stream_);
        transport_.timelineChanged();
        strip_.setShowEnd(ShowEnd(show_.Timeline));
        if (show_.SoundtrackPath != waveformOf_ || stream_ != playing)
            followSoundtrack(waveform_, waveformOf_, show_);
        // Picks the music up at the clock when it plays.
        if (!transport_.clock().paused())
            transport_.clock().seek(transport_.clock().ms());
        problems_ = watch_->problems();
        printProblems(problems_);
        showProblems();
        jumps_ = -1;
    }

    // The transport's clock moved on to now, and the playback step taken at it: played on
    // from the last frame, or sought to after a jump (and after a reload, whose timeline
    // may be another).
    ShowPosition step()
    {
        transport_.frame(platform_.ticks());
        const double ms = transport_.clock().ms();
        const ShowFrame next = transport_.clock().jumps() != jumps_
            ? playback_.seek(ms)
            : playback_.step(static_cast<int>(std::min(std::floor(ms), 2147483647.0)), false);
        ShowPosition position;
        position.part = next.over ? show_.Timeline.size() : next.part;
        position.partTime = next.partTime;
        return position;
    }

    Show& show_;
    Platform& platform_;
    SoundStream* stream_;
    std::vector<std::string> problems_;
    ShowWatch* watch_;
    BeatGrid beats_;
    Screenshots* shots_;
    StatusBar bar_;
    bool barShown_ = true;
    char status_[256] = "";
    StreamMusic music_;
    AuthorTransport transport_;
    Playback playback_;
    TimelineStrip strip_;
    Waveform waveform_;
    std::string waveformOf_;
    PointerEvent events_[PointerEventCapacity];
    FrameMeter meter_;
    int jumps_ = 0;
    ShowEditor editor_;
    std::vector<std::string> shown_; // the lines over the status bar
    bool escapeAsked_ = false;
    bool alt_ = false; // Alt held or tapped in this frame
    int messagesSeen_ = 0;
    uint32_t messageTick_ = 0;
};

} // namespace

void RunAuthorMode(Platform& platform, Show& show, SoundStream* stream, bool loop, const std::string& folder,
                   std::vector<std::string> problems, ShowWatch* watch, const BeatGrid& beats,
                   Screenshots* shots)
{
    printProblems(problems);
    if (watch && !watch->start(folder))
        std::fprintf(stderr, "taldrex: %s cannot be watched; changed files are not reloaded\n",
            PrintableText(folder).c_str());
    KeepCursorShown(true);
    std::string script = watch ? watch->script() : std::string();
    if (script.empty()) {
        std::vector<unsigned char> bytes;
        std::string problem;
        if (show.folder().readFile("script.txt", ScriptFileLimit, bytes, problem))
            script.assign(bytes.begin(), bytes.end());
    }
    AuthorRun run(show, platform, stream, loop, std::move(problems), watch, beats, shots, std::move(script));
    while (run.frame()) {
    }
}

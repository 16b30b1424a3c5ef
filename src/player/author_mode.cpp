#include "player/author_mode.h"

#include "app/delayed_clock.h"
#include "app/shell_state.h"
#include "app/sound.h"
#include "app/viewport.h"
#include "app/window.h"
#include "common/printable_text.h"
#include "demo/check.h"
#include "demo/part_timing.h"
#include "demo/screenshot.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "player/author_clock.h"
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

// The show's stream as the transport drives it: moved and paused on the device, its clock
// shifted by the audio delay as in a normal run.
class StreamMusic : public AuthorMusic {
public:
    explicit StreamMusic(SoundStream* stream) : stream_(stream), clock_(AudioDelayMs) {}

    // After a reload: another soundtrack, when the script named one, and the old one gone.
    void replace(SoundStream* stream)
    {
        if (stream == stream_)
            return;
        stream_ = stream;
        started_ = false;
        playing_ = false;
    }

    bool audible() override { return usable() && playing_ && !SoundStreamEnded(stream_); }

    double position() override
    {
        return clock_.read(SoundStreamGetTime(stream_), SoundStreamEnded(stream_), SDL_GetTicks());
    }

    void play(double ms) override
    {
        if (!usable())
            return;
        if (!started_)
            started_ = SoundStreamPlay(stream_);
        // The stream's clock reads its position plus the delay: it must read ms.
        const long long position = std::max(0LL, std::llround(ms) - AudioDelayMs);
        SoundStreamSetPosition(stream_, static_cast<int>(std::min<long long>(position, 0x7fffffff)));
        clock_.restart();
        SoundStreamPause(stream_, false);
        playing_ = started_;
    }

    void hold() override
    {
        if (usable())
            SoundStreamPause(stream_, true);
        playing_ = false;
    }

private:
    bool usable() const { return stream_ && NoSound == 0; }

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

// What the mouse did on the strip, done to the transport.
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
        transport.clock().seek(action.ms);
        break;
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
void forgetPresses()
{
    for (int i = 0; i < AuthorKeyBindingCount; ++i)
        TakeKeyPress(AuthorKeyBindings[i].virtualKey);
}

} // namespace

void FormatStatus(char* text, size_t size, const TimelineArray& timeline, const ShowPosition& position,
                  const AuthorClock& clock, double fps, double drawMs, const BeatGrid& beats)
{
    const long long ms = std::llround(std::floor(clock.ms()));
    const char* state = clock.paused() ? "paused" : "playing";
    const char* looping = clock.looping() ? "  loop" : "";
    char beat[40] = "";
    if (HasBeats(beats)) {
        long long bar = 0;
        int inBar = 0;
        BarBeatAt(beats, clock.ms(), bar, inBar);
        std::snprintf(beat, sizeof beat, "  bar %lld.%d", bar, inBar);
    }
    if (position.part >= timeline.size()) {
        std::snprintf(text, size, "no part  %02lld:%02lld.%03lld%s  %gx  %s%s  %.0f fps %.1f ms", ms / 60000,
            ms / 1000 % 60, ms % 1000, beat, clock.speed(), state, looping, fps, drawMs);
        return;
    }
    const TimelineEntry& part = timeline[position.part];
    std::snprintf(text, size,
        "part %d/%d  %.40s  %.32s  frame %.1f  %02lld:%02lld.%03lld%s  %gx  %s%s  %.0f fps %.1f ms", position.part + 1,
        timeline.size(), part.sceneName.c_str(), part.cameraName.c_str(), position.partTime, ms / 60000,
        ms / 1000 % 60, ms % 1000, beat, clock.speed(), state, looping, fps, drawMs);
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

void RunAuthorMode(Show& show, SoundStream* stream, bool loop, const std::string& folder,
                   std::vector<std::string> problems, ShowWatch* watch, const BeatGrid& beats,
                   Screenshots* shots)
{
    printProblems(problems);
    if (watch && !watch->start(folder))
        std::fprintf(stderr, "taldrex: %s cannot be watched; changed files are not reloaded\n",
            PrintableText(folder).c_str());

    StatusBar bar;
    std::string fontProblem;
    if (!bar.load(StatusFontFiles(), std::clamp(ScreenHeight / 40, 12, 32), fontProblem))
        std::fprintf(stderr, "taldrex: %s; the status bar has no text\n", fontProblem.c_str());
    bool barShown = true;
    char status[256];

    StreamMusic music(stream);
    AuthorTransport transport(show.Timeline, music);
    transport.clock().setLooping(loop);
    transport.setBeats(beats);
    TimelineStrip strip;
    strip.setShowEnd(ShowEnd(show.Timeline));
    Waveform waveform;
    std::string waveformOf;
    followSoundtrack(waveform, waveformOf, show);
    PointerEvent events[PointerEventCapacity];
    KeepCursorShown(true);
    FrameMeter meter;
    if (shots)
        shots->prepare(ScreenWidth, ScreenHeight);
    forgetPresses();
    transport.clock().start(SDL_GetTicks());
    int jumps = transport.clock().jumps();

    for (;;) {
        PumpMessages();
        meter.frameStarted();
        const bool escape = TakeKeyPress(VK_ESCAPE_KEY);
        if (escape || KeyState[VK_ESCAPE_KEY] != 0)
            return;
        bool shotWanted = false;
        for (int i = 0; i < AuthorKeyBindingCount; ++i) {
            if (!TakeKeyPress(AuthorKeyBindings[i].virtualKey))
                continue;
            if (AuthorKeyBindings[i].key == AuthorKey::HideBar)
                barShown = !barShown;
            else if (AuthorKeyBindings[i].key == AuthorKey::Screenshot)
                shotWanted = true;
            else
                transport.press(AuthorKeyBindings[i].key, KeyState[ShiftKey] != 0, KeyState[ControlKey] != 0);
        }
        strip.place(ScreenWidth, ScreenHeight, bar.height());
        const int pointerEvents = TakePointerEvents(events);
        for (int i = 0; i < pointerEvents && barShown; ++i)
            applyStripAction(transport, strip.pointer(events[i], KeyState[ShiftKey] != 0, show.Timeline));
        SoundStream* const playing = stream;
        if (watch && watch->poll(stream)) {
            music.replace(stream);
            transport.timelineChanged();
            strip.setShowEnd(ShowEnd(show.Timeline));
            if (show.SoundtrackPath != waveformOf || stream != playing)
                followSoundtrack(waveform, waveformOf, show);
            // Picks the music up at the clock when it plays.
            if (!transport.clock().paused())
                transport.clock().seek(transport.clock().ms());
            problems = watch->problems();
            printProblems(problems);
            jumps = -1;
        }

        const ShowPosition position = transport.frame(SDL_GetTicks());
        SetViewport(ScreenWidth, ScreenHeight);
        DrawShowAt(show, position, transport.clock().jumps() != jumps, ScreenWidth, ScreenHeight);
        jumps = transport.clock().jumps();
        // The show's picture, without the strip and bar drawn over it.
        if (shotWanted && shots)
            shots->takeAndReport(ScreenWidth, ScreenHeight, transport.clock().ms(), SDL_GetTicks());
        FormatStatus(status, sizeof status, show.Timeline, position, transport.clock(), meter.fps(), meter.drawMs(),
            beats);
        if (shots)
            shots->notice(status, sizeof status, SDL_GetTicks());
        // H clears the picture of the strip, the bar and the problems.
        if (barShown) {
            const StripMarks marks{&show.Timeline, beats, transport.clock().ms(), transport.clock().looping()};
            strip.draw(ScreenWidth, ScreenHeight, waveform, marks, bar);
            bar.draw(ScreenWidth, ScreenHeight, status, problems, strip.height());
        }
        meter.frameDrawn();
        SDL_GL_SwapWindow(MainWindow);
    }
}

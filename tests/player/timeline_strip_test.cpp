// Author mode's timeline: the beat grid and the keys that step along it, the tempo
// estimate, the waveform against the decoded music, where the strip draws the parts, and
// what the mouse does to the clock.
#include "player/timeline_strip.h"

#include "audio/mp3_decoder.h"
#include "demo/part_timing.h"
#include "gpu/gl.h"
#include "gpu/renderer.h"
#include "player/author_clock.h"
#include "player/author_mode.h"
#include "player/beat_grid.h"
#include "player/status_bar.h"
#include "player/waveform.h"
#include "support/allocation_counter.h"
#include "support/gl_test_context.h"
#include "support/tone_mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

constexpr int Rate = 44100;

TimelineArray partsEndingAt(std::initializer_list<int> ends)
{
    TimelineArray timeline;
    for (int end : ends) {
        TimelineEntry entry;
        entry.sceneName = "scene";
        entry.endTime = end;
        timeline.append(entry);
    }
    return timeline;
}

// Music that stands where it was last played from; enough for a paused transport.
class StillMusic : public AuthorMusic {
public:
    bool audible() override { return playing; }
    double position() override { return at; }
    void play(double ms) override
    {
        playing = true;
        at = ms;
    }
    void hold() override { playing = false; }
    bool playing = false;
    double at = 0.0;
};

// A click track: a 5 ms burst of a decaying 2 kHz tone on every beat, mono.
std::vector<int16_t> clickTrack(double bpm, double seconds)
{
    std::vector<int16_t> pcm(static_cast<size_t>(seconds * Rate), 0);
    for (double beat = 0.25; beat < seconds; beat += 60.0 / bpm) {
        const size_t at = static_cast<size_t>(beat * Rate);
        for (size_t i = 0; i < Rate / 200 && at + i < pcm.size(); ++i)
            pcm[at + i] = static_cast<int16_t>(20000.0 * std::exp(-double(i) / 60.0) *
                std::sin(2.0 * 3.14159265 * 2000.0 * double(i) / Rate));
    }
    return pcm;
}

PointerEvent pointer(PointerEvent::Kind kind, int x, int y, int button = 1, int clicks = 1, int wheel = 0)
{
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    event.button = button;
    event.clicks = clicks;
    event.wheel = wheel;
    return event;
}

} // namespace

TEST(BeatGrid, StepsLandOnBeatsAndBarsAndNameThem)
{
    struct Case {
        double bpm, offset, clock;
        double nextBeat, previousBeat, nextBar, previousBar;
        long long bar;
        int beat;
    };
    const Case cases[] = {
        {120, 0, 0, 500, -500, 2000, -2000, 1, 1},
        {120, 0, 500, 1000, 0, 2000, 0, 1, 2},
        {120, 0, 1999.9, 2000, 1500, 2000, 0, 1, 4},
        {120, 0, 2000, 2500, 1500, 4000, 0, 2, 1},
        {128, 250, 250, 718.75, -218.75, 2125, -1625, 1, 1},
        {90, 100, 5000, 5433.333333, 4766.666667, 5433.333333, 2766.666667, 2, 4},
        {174, 0, -10, 0, -344.827586, 0, -1379.310345, 0, 4},
    };
    for (const Case& c : cases) {
        const BeatGrid grid{c.bpm, c.offset};
        SCOPED_TRACE(testing::Message() << c.bpm << " BPM from " << c.offset << " at " << c.clock);
        EXPECT_NEAR(StepOnGrid(grid, c.clock, 1, 1), c.nextBeat, 1e-5);
        EXPECT_NEAR(StepOnGrid(grid, c.clock, -1, 1), c.previousBeat, 1e-5);
        EXPECT_NEAR(StepOnGrid(grid, c.clock, 1, BeatsPerBar), c.nextBar, 1e-5);
        EXPECT_NEAR(StepOnGrid(grid, c.clock, -1, BeatsPerBar), c.previousBar, 1e-5);
        long long bar = 0;
        int beat = 0;
        BarBeatAt(grid, c.clock, bar, beat);
        EXPECT_EQ(bar, c.bar);
        EXPECT_EQ(beat, c.beat);
    }

    // Ctrl+Right lands exactly on each next beat however many times it is pressed, and the
    // status bar names it.
    const TimelineArray timeline = partsEndingAt({60000});
    StillMusic music;
    AuthorTransport transport(timeline, music);
    const BeatGrid grid{128, 30};
    transport.setBeats(grid);
    transport.clock().start(0);
    transport.press(AuthorKey::Pause, false);
    for (long long beat = 0; beat < 40; ++beat) {
        transport.press(AuthorKey::Forward, false, true);
        ASSERT_EQ(transport.clock().ms(), BeatTime(grid, beat)) << "beat " << beat;
    }
    transport.press(AuthorKey::Forward, true, true);
    EXPECT_EQ(transport.clock().ms(), BeatTime(grid, 40));
    transport.press(AuthorKey::Back, true, true);
    EXPECT_EQ(transport.clock().ms(), BeatTime(grid, 36));
    transport.press(AuthorKey::Forward, false, false);
    EXPECT_EQ(transport.clock().ms(), BeatTime(grid, 36) + 1000.0) << "without Ctrl a second";
    char status[256];
    // Beat 36 and a second: the third beat of the tenth bar.
    FormatStatus(status, sizeof status, timeline, PositionAt(timeline, transport.clock().ms()), transport.clock(), 60,
        1, grid);
    EXPECT_NE(std::string(status).find("  bar 10.3  "), std::string::npos) << status;
}

TEST(BeatGrid, TheTempoIsEstimatedWithinOnePercent)
{
    const std::string path = TempPath("clicks.mp3");
    for (double bpm : {90.0, 120.0, 128.0, 174.0}) {
        ASSERT_TRUE(WritePcmMp3(path, Rate, 1, clickTrack(bpm, 20.0)));
        Mp3Stream stream;
        ASSERT_TRUE(stream.open(DataFolder().openFile(path, SoundtrackFileLimit)));
        const BeatGrid found = EstimateBeatGrid(stream);
        EXPECT_NEAR(found.bpm, bpm, bpm * 0.01) << "click track at " << bpm << " BPM";
        // The clicks start 250 ms in.
        const double beat = 60000.0 / bpm;
        EXPECT_NEAR(std::remainder(found.offsetMs - 250.0, beat), 0.0, 15.0) << bpm << " BPM";
        std::printf("click track at %g BPM: estimated %.3f BPM, first beat %.1f ms\n", bpm, found.bpm, found.offsetMs);
    }
    std::filesystem::remove(path);

    // The bundled show is written at 120 BPM.
    Mp3Stream show;
    ASSERT_TRUE(show.open(DataFolder().openFile(TALDREX_BINARY_DIR "/show/data/music.mp3", SoundtrackFileLimit)));
    const BeatGrid found = EstimateBeatGrid(show);
    EXPECT_NEAR(found.bpm, 120.0, 1.2);
    std::printf("bundled show: estimated %.3f BPM, first beat %.1f ms\n", found.bpm, found.offsetMs);

    Mp3Stream tooShort;
    ASSERT_TRUE(WritePcmMp3(path, Rate, 1, clickTrack(120, 2.0)));
    ASSERT_TRUE(tooShort.open(DataFolder().openFile(path, SoundtrackFileLimit)));
    EXPECT_FALSE(HasBeats(EstimateBeatGrid(tooShort)));
    std::filesystem::remove(path);
}

TEST(Waveform, ColumnsFollowTheDecodedMusic)
{
    // Silent, loud, silent, quiet: about a second each, changing inside the columns.
    std::vector<int16_t> pcm(static_cast<size_t>(4 * Rate) * 2, 0);
    for (size_t frame = 0; frame < pcm.size() / 2; ++frame) {
        const double second = double(frame) / Rate;
        const double level = second >= 1.05 && second < 2.05 ? 0.8 : second >= 3.05 ? 0.1 : 0.0;
        const auto value = static_cast<int16_t>(32767.0 * level * std::sin(2 * 3.14159265 * 440 * second));
        pcm[frame * 2] = value;
        pcm[frame * 2 + 1] = value;
    }
    const std::string path = TempPath("stretches.mp3");
    ASSERT_TRUE(WritePcmMp3(path, Rate, 2, pcm));
    DecodedAudio decoded;
    ASSERT_TRUE(DecodeMp3File(path.c_str(), decoded));

    Waveform waveform;
    ASSERT_TRUE(waveform.start(path, DataFolder()));
    for (int i = 0; i < 500 && !waveform.complete(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(waveform.complete());
    EXPECT_NEAR(waveform.lengthMs(), 4000.0, 30.0);

    constexpr int Columns = 40;
    float peak[Columns];
    float rms[Columns];
    waveform.columns(0.0, 4000.0, Columns, peak, rms);
    const size_t frames = decoded.samples.size() / 2;
    for (int c = 0; c < Columns; ++c) {
        const size_t first = static_cast<size_t>(c) * frames / Columns;
        const size_t last = static_cast<size_t>(c + 1) * frames / Columns;
        double top = 0.0;
        double sum = 0.0;
        for (size_t i = first * 2; i < last * 2; ++i) {
            top = std::max(top, std::abs(double(decoded.samples[i])) / 32768.0);
            sum += double(decoded.samples[i]) * decoded.samples[i] / (32768.0 * 32768.0);
        }
        SCOPED_TRACE(testing::Message() << "column " << c);
        EXPECT_NEAR(peak[c], top, 0.05);
        EXPECT_NEAR(rms[c], std::sqrt(sum / double((last - first) * 2)), 0.03);
    }
    EXPECT_LT(peak[5], 0.01f);
    EXPECT_GT(peak[15], 0.7f);
    EXPECT_NEAR(rms[15], 0.8 / std::sqrt(2.0), 0.05);
    EXPECT_LT(peak[25], 0.01f);
    EXPECT_NEAR(peak[35], 0.1f, 0.02f);

    // Past the music's end the columns are empty.
    waveform.columns(4100.0, 8000.0, Columns, peak, rms);
    EXPECT_EQ(*std::max_element(peak, peak + Columns), 0.0f);
    waveform.stop();
    std::filesystem::remove(path);
}

TEST(TimelineStrip, PartBlocksStartWhereThePartsDoAtEveryWidth)
{
    // The third part ends before the second: it is never shown and gets no block.
    const TimelineArray timeline = partsEndingAt({1000, 2500, 2000, 4000});
    for (int width : {320, 200}) {
        GlTestContext gl(width, 240);
        REQUIRE_GL(gl);
        TimelineStrip strip;
        strip.setShowEnd(ShowEnd(timeline));
        strip.place(width, 240, 20);
        Waveform silent;
        StatusBar font;
        const StripMarks marks{&timeline, BeatGrid(), -1000.0, false};
        ActiveRenderer().clearColor(1, 0, 1, 1);
        ActiveRenderer().clear(GL_COLOR_BUFFER_BIT);
        strip.draw(width, 240, silent, marks, font);

        // Along the strip's lowest row the colour changes exactly where a block starts.
        std::vector<int> starts;
        uint32_t previous = gl.pixel(0, 21);
        for (int x = 1; x < width; ++x) {
            const uint32_t here = gl.pixel(x, 21);
            if (here != previous)
                starts.push_back(x);
            previous = here;
        }
        std::vector<int> expected;
        for (int part = 1; part < timeline.size(); ++part)
            if (PartIsShown(timeline, part))
                expected.push_back(static_cast<int>(std::ceil(PartStart(timeline, part) * width / ShowEnd(timeline))));
        EXPECT_EQ(starts, expected) << "at width " << width;
        EXPECT_EQ(gl.pixel(width / 2, 19), 0xff00ffffu) << "nothing below the strip";
        EXPECT_EQ(gl.pixel(width / 2, 20 + strip.height()), 0xff00ffffu) << "nothing above the strip";
    }
}

TEST(TimelineStrip, TheMouseSeeksScrubsJumpsZoomsAndPans)
{
    const TimelineArray timeline = partsEndingAt({10000, 25000, 40000});
    StillMusic music;
    AuthorTransport transport(timeline, music);
    transport.clock().start(0);
    TimelineStrip strip;
    strip.setShowEnd(ShowEnd(timeline));
    strip.place(400, 300, 20);
    const int y = 300 - 20 - strip.height() / 2;
    auto apply = [&](const PointerEvent& event, bool shift = false) {
        const StripAction action = strip.pointer(event, shift, timeline);
        switch (action.kind) {
        case StripAction::Kind::ScrubStart: transport.scrubStart(action.ms); break;
        case StripAction::Kind::Scrub: transport.scrubTo(action.ms); break;
        case StripAction::Kind::ScrubEnd: transport.scrubEnd(action.ms); break;
        case StripAction::Kind::JumpToPart: transport.clock().seek(action.ms); break;
        default: break;
        }
        return action.kind;
    };

    // A click seeks to the time under it; the playing show plays on from there.
    apply(pointer(PointerEvent::Kind::Press, 90, y));
    EXPECT_TRUE(transport.clock().paused()) << "the music is muted while the button is down";
    apply(pointer(PointerEvent::Kind::Release, 90, y));
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 9000.0);
    EXPECT_FALSE(transport.clock().paused());
    EXPECT_EQ(music.at, 9000.0);

    // A drag: the clock follows, and ends where the button is let go.
    apply(pointer(PointerEvent::Kind::Press, 40, y));
    apply(pointer(PointerEvent::Kind::Motion, 120, y - 200));
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 12000.0) << "dragging off the strip still scrubs";
    apply(pointer(PointerEvent::Kind::Motion, 300, y));
    apply(pointer(PointerEvent::Kind::Release, 310, y));
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 31000.0);
    EXPECT_FALSE(transport.clock().paused());

    // A double click on a block jumps to its part's start; clicks off the strip do nothing.
    apply(pointer(PointerEvent::Kind::Press, 150, y, 1, 2));
    apply(pointer(PointerEvent::Kind::Release, 150, y));
    EXPECT_DOUBLE_EQ(transport.clock().ms(), 10000.0);
    EXPECT_EQ(apply(pointer(PointerEvent::Kind::Press, 200, 10)), StripAction::Kind::None);
    EXPECT_EQ(apply(pointer(PointerEvent::Kind::Press, 200, 295)), StripAction::Kind::None);

    // The wheel zooms about the pointer, down to 2 s across; the time under it stays.
    const double under = strip.msAt(100);
    apply(pointer(PointerEvent::Kind::Wheel, 100, y, 0, 0, 3));
    EXPECT_NEAR(strip.viewEnd() - strip.viewStart(), 40000.0 / std::pow(1.25, 3), 1e-6);
    EXPECT_NEAR(strip.msAt(100), under, 1e-6);
    apply(pointer(PointerEvent::Kind::Wheel, 100, y, 0, 0, 40));
    EXPECT_DOUBLE_EQ(strip.viewEnd() - strip.viewStart(), TimelineStrip::NarrowestMs);
    // The right button, or Shift with the left, drags the stretch along; never past the show.
    const double start = strip.viewStart();
    apply(pointer(PointerEvent::Kind::Press, 200, y, 3));
    apply(pointer(PointerEvent::Kind::Motion, 100, y, 3));
    apply(pointer(PointerEvent::Kind::Release, 100, y, 3));
    EXPECT_NEAR(strip.viewStart(), start + 500.0, 1e-6);
    const double clock = transport.clock().ms();
    apply(pointer(PointerEvent::Kind::Press, 100, y), true);
    apply(pointer(PointerEvent::Kind::Motion, 400, y), true);
    apply(pointer(PointerEvent::Kind::Release, 400, y), true);
    EXPECT_NEAR(strip.viewStart(), start - 1000.0, 1e-6);
    EXPECT_EQ(transport.clock().ms(), clock) << "panning does not seek";
    apply(pointer(PointerEvent::Kind::Wheel, 100, y, 0, 0, -100));
    EXPECT_EQ(strip.viewStart(), 0.0);
    EXPECT_EQ(strip.viewEnd(), 40000.0);
}

TEST(TimelineStrip, APressNearABoundaryDragsTheEndOfThePartBeforeIt)
{
    // 100 ms a column: the boundaries at columns 100 and 250, the show's end at 400.
    const TimelineArray timeline = partsEndingAt({10000, 25000, 40000});
    TimelineStrip strip;
    strip.setShowEnd(ShowEnd(timeline));
    strip.place(400, 300, 20);
    const int y = 300 - 20 - strip.height() / 2;
    using Kind = PointerEvent::Kind;
    struct Drag {
        int pressX, moveX;
        StripAction::Kind onMove, onRelease;
        int part;
        double releaseMs;
    };
    const Drag drags[] = {
        {96, 130, StripAction::Kind::MoveEnd, StripAction::Kind::DropEnd, 0, 13000.0},
        {254, 240, StripAction::Kind::MoveEnd, StripAction::Kind::DropEnd, 1, 24000.0},
        {398, 380, StripAction::Kind::MoveEnd, StripAction::Kind::DropEnd, 2, 38000.0},
        {95, 130, StripAction::Kind::Scrub, StripAction::Kind::ScrubEnd, 0, 13000.0}, // 5 columns off: scrubs
        {102, 102, StripAction::Kind::None, StripAction::Kind::Seek, 0, 10200.0},     // not moved: a click
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.pressX);
        strip.pointer(pointer(Kind::Press, d.pressX, y), false, timeline);
        if (d.moveX != d.pressX) {
            const StripAction moved = strip.pointer(pointer(Kind::Motion, d.moveX, y), false, timeline);
            EXPECT_EQ(moved.kind, d.onMove);
            EXPECT_TRUE(moved.kind != StripAction::Kind::MoveEnd || moved.part == d.part);
        }
        const StripAction released = strip.pointer(pointer(Kind::Release, d.moveX, y), false, timeline);
        EXPECT_EQ(released.kind, d.onRelease);
        EXPECT_DOUBLE_EQ(released.ms, d.releaseMs);
    }
}

TEST(TimelineStrip, AFrameWithTheStripShownAllocatesNothing)
{
    GlTestContext gl(320, 240);
    REQUIRE_GL(gl);
    const TimelineArray timeline = partsEndingAt({1000, 2500, 4000});
    const std::string path = TempPath("frame.mp3");
    ASSERT_TRUE(WritePcmMp3(path, Rate, 1, clickTrack(120, 4.0)));
    Waveform waveform;
    ASSERT_TRUE(waveform.start(path, DataFolder()));
    // The waveform's own thread allocates while it decodes; the frames are counted after.
    for (int i = 0; i < 500 && !waveform.complete(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    StatusBar font;
    std::string problem;
    font.load(StatusFontFiles(), 12, problem);
    TimelineStrip strip;
    strip.setShowEnd(ShowEnd(timeline));
    StillMusic music;
    AuthorTransport transport(timeline, music);
    transport.clock().start(0);
    char status[256];

    // Mesa's software rasteriser allocates inside glBegin/glEnd, so the drawing is done
    // outside the count; what the strip works out for it is counted.
    float peak[320];
    float rms[320];
    long allocations = 0;
    for (int frame = 0; frame < 20; ++frame) {
        const long before = AllocationCount();
        strip.place(320, 240, font.height());
        strip.pointer(pointer(PointerEvent::Kind::Motion, frame * 10, 200), false, timeline);
        strip.pointer(pointer(PointerEvent::Kind::Wheel, frame * 10, 200, 0, 0, frame % 3 - 1), false, timeline);
        const ShowPosition position = transport.frame(static_cast<uint32_t>(frame * 16));
        FormatStatus(status, sizeof status, timeline, position, transport.clock(), 60, 1, BeatGrid{120, 0});
        waveform.columns(strip.viewStart(), strip.viewEnd(), 320, peak, rms);
        allocations += AllocationCount() - before;
        strip.draw(320, 240, waveform, StripMarks{&timeline, BeatGrid{120, 0}, transport.clock().ms(), true}, font);
        font.draw(320, 240, status, {}, strip.height());
    }
    EXPECT_EQ(allocations, 0);
    waveform.stop();
    std::filesystem::remove(path);
}

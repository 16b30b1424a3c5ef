// Editing a long show in author mode: the work a frame does beside drawing (the playback
// step at the clock, the status line, a pointer event on the strip), for a show of 10 parts
// and one of 10,000, untouched, after 1,000 edits, and while a boundary is dragged; and an
// edit itself. A frame's cost should not grow with the edits made.
#include "demo/part_timing.h"
#include "demo/playback.h"
#include "demo/script_parser.h"
#include "player/author_clock.h"
#include "player/author_mode.h"
#include "player/timeline_edits.h"
#include "player/timeline_strip.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

class SilentMusic : public AuthorMusic {
public:
    bool audible() override { return false; }
    double position() override { return 0.0; }
    void play(double) override {}
    void hold() override {}
};

// A script of count parts of one second each, separated by empty lines.
std::string scriptOf(int count)
{
    std::string script = "[scenes]\nscene.scn\n\n";
    for (int i = 0; i < count; ++i)
        script += "\n[part]\nscene.scn\n" + std::to_string((i + 1) * 1000) + "\ncam\nstandard\nstandard\n";
    return script;
}

PointerEvent motion(int x, int y)
{
    PointerEvent event;
    event.kind = PointerEvent::Kind::Motion;
    event.x = x;
    event.y = y;
    return event;
}

// One frame's editing work. state.range(0): parts; range(1): 0 untouched, 1 after 1,000
// edits, 2 dragging a boundary in the middle of the show.
void BM_EditingFrame(benchmark::State& state)
{
    const int parts = static_cast<int>(state.range(0));
    const std::string script = scriptOf(parts);
    TimelineArray timeline = ParseScript(script).parts;
    TimelineEdits edits(timeline);
    edits.start(script);
    if (state.range(1) == 1)
        for (int i = 0; i < 1000; ++i) {
            const int part = (i * 7919) % (timeline.size() - 1);
            if (i % 3 == 0)
                edits.setEnd(part, timeline[part].endTime - 100);
            else if (i % 3 == 1)
                edits.cut(part, timeline[part].endTime - 200);
            else
                edits.setName(part, PartName::Camera, "other");
        }
    SilentMusic music;
    AuthorTransport transport(timeline, music);
    Playback playback(timeline, false);
    TimelineStrip strip;
    strip.setShowEnd(ShowEnd(timeline));
    strip.place(1280, 720, 20);
    const int y = 720 - 20 - strip.height() / 2;
    transport.clock().start(0);
    transport.press(AuthorKey::Pause, false);
    // Paused in the middle of the show, beside the boundary dragged.
    const int dragged = timeline.size() / 2;
    const double middle = PartStart(timeline, dragged + 1);
    transport.clock().seek(middle);
    playback.seek(middle);
    char status[256];
    int tick = 0;
    for (auto _ : state) {
        const bool dragging = state.range(1) == 2;
        if (dragging) {
            // The boundary follows the pointer: the timeline changes and the picture seeks.
            edits.dragEnd(dragged, static_cast<int>(middle) - 100 - (tick & 63));
            transport.timelineChanged();
        }
        const StripAction action = strip.pointer(motion(640 + (tick & 63), y), false, timeline);
        benchmark::DoNotOptimize(action);
        const ShowPosition position = transport.frame(static_cast<uint32_t>(++tick));
        const ShowFrame frame = dragging ? playback.seek(middle) : playback.step(static_cast<int>(middle), false);
        benchmark::DoNotOptimize(frame);
        FormatStatus(status, sizeof status, timeline, position, transport.clock(), 60.0, 1.0, BeatGrid(),
            edits.unsaved());
        benchmark::DoNotOptimize(status);
    }
    state.counters["parts"] = timeline.size();
}
BENCHMARK(BM_EditingFrame)->Args({10, 0})->Args({10000, 0})->Args({10000, 1})->Args({10000, 2})
    ->Unit(benchmark::kMicrosecond);

// One edit: a cut in the middle of the show (a part inserted there) and its undo.
void BM_CutAndUndo(benchmark::State& state)
{
    const std::string script = scriptOf(static_cast<int>(state.range(0)));
    TimelineArray timeline = ParseScript(script).parts;
    TimelineEdits edits(timeline);
    edits.start(script);
    const int part = timeline.size() / 2;
    for (auto _ : state) {
        edits.cut(part, timeline[part].endTime - 500);
        edits.undo();
    }
}
BENCHMARK(BM_CutAndUndo)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Ctrl+S's writing (not the disk): the whole script written with one line changed.
void BM_WriteScript(benchmark::State& state)
{
    const std::string script = scriptOf(static_cast<int>(state.range(0)));
    TimelineArray timeline = ParseScript(script).parts;
    TimelineEdits edits(timeline);
    edits.start(script);
    edits.setEnd(timeline.size() / 2, timeline[timeline.size() / 2].endTime - 250);
    for (auto _ : state)
        benchmark::DoNotOptimize(edits.script());
}
BENCHMARK(BM_WriteScript)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The web page's program: the show on the web platform, driven by page.js. The page
// fetches the show's files into the page's file system, and calls these functions in
// turn: open the canvas, open the show, hand over the soundtrack to decode, load, then
// one call a frame (playing) or one call a captured frame. Every text these return stays
// valid until the next call.
#include "demo/check.h"
#include "demo/load_report.h"
#include "demo/platform.h"
#include "demo/playback.h"
#include "demo/script_parser.h"
#include "demo/show.h"
#include "demo/show_files.h"
#include "demo/show_run.h"
#include "gpu/viewport.h"
#include "web/web_platform.h"

#include <emscripten.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// The page's texture budget, counted as on the desktop (the levels the browser keeps lie
// outside the heap, so the heap holds less than it counts): a wasm heap holds at most
// 4 GiB, and besides the pictures it must hold a scene file and an archive's inflated
// entries at their limits.
constexpr long long PageTextureMemory = 1LL << 30;

struct Page {
    std::unique_ptr<Show> show;
    SoundStream* stream = nullptr;
    std::unique_ptr<ShowRun> run;
    bool played = false;
    std::vector<unsigned char> soundtrack;
    std::string text;
    std::string problems;

    // Capture: the timeline on a frame-counted clock.
    std::unique_ptr<Playback> playback;
    ShowFrame next;
    long long frame = 0;
    int fps = 30;
    int fromMs = 0;
    int toMs = -1;
};

Page& ThePage()
{
    static Page page;
    return page;
}

const char* keep(std::string text)
{
    ThePage().text = std::move(text);
    return ThePage().text.c_str();
}

long long frameTime(long long frame, int fps) { return frame * 1000 / fps; }

} // namespace

extern "C" {

// Makes the canvas's WebGL 1 context; with keepFrames a frame stays readable after it is
// shown. Returns null, or why the page cannot draw.
EMSCRIPTEN_KEEPALIVE const char* taldrex_open_canvas(int keepFrames)
{
    std::string error;
    return Web().open("#canvas", keepFrames != 0, error) ? nullptr : keep(error);
}

// The files to fetch for the script text of a show folder, one per line: "fetch\tNAME\t
// NAME..." (the names to try in turn) or "refuse\tPATH\tWHY".
EMSCRIPTEN_KEEPALIVE const char* taldrex_show_files(const char* script)
{
    std::string lines;
    for (const ShowFile& file : ShowFilesOf(script)) {
        if (file.names.empty()) {
            lines += "refuse\t" + file.path + "\t" + file.refused + "\n";
            continue;
        }
        lines += "fetch";
        for (const std::string& name : file.names)
            lines += "\t" + name;
        lines += "\n";
    }
    return keep(lines);
}

// Opens the show at path (a folder or an archive of the page's file system), confined to
// it. Returns null, or why it cannot be opened.
EMSCRIPTEN_KEEPALIVE const char* taldrex_open_show(const char* path)
{
    Page& page = ThePage();
    page.run.reset();
    page.playback.reset();
    Web().closeMusic(page.stream);
    page.stream = nullptr;
    page.played = false;
    page.show.reset();
    DataFolder folder;
    std::string problem;
    if (!folder.open(path, true, problem))
        return keep(problem);
    page.show = std::make_unique<Show>(folder, PageTextureMemory);
    return nullptr;
}

// Draws the show's loading picture now, before the show loads.
EMSCRIPTEN_KEEPALIVE void taldrex_draw_loading()
{
    Page& page = ThePage();
    if (!page.show)
        return;
    ImageBudget budget(PageTextureMemory);
    Web().showLoadingPicture(page.show->folder(), budget, nullptr);
}

// Reads the soundtrack the script plays, as the desktop reads it, for the page to decode.
// Returns its path in the show (the key the page keeps the decoded music by), or null
// when there is none or it cannot be read; taldrex_soundtrack_data and _size give its
// bytes until taldrex_soundtrack_release.
EMSCRIPTEN_KEEPALIVE const char* taldrex_soundtrack()
{
    Page& page = ThePage();
    std::vector<unsigned char> script;
    std::string problem;
    if (!page.show || !page.show->folder().readFile("script.txt", ScriptFileLimit, script, problem))
        return nullptr;
    const ShowPlan plan = ParseScript(std::string_view(reinterpret_cast<const char*>(script.data()), script.size()));
    const PlanEntry* entry = PlanSoundtrack(plan);
    if (!entry)
        return nullptr;
    const std::string path = page.show->folder().resolve("data\\" + entry->key);
    if (!page.show->folder().readFile(path, SoundtrackFileLimit, page.soundtrack, problem))
        return nullptr;
    return keep(path);
}
EMSCRIPTEN_KEEPALIVE const unsigned char* taldrex_soundtrack_data() { return ThePage().soundtrack.data(); }
EMSCRIPTEN_KEEPALIVE int taldrex_soundtrack_size() { return static_cast<int>(ThePage().soundtrack.size()); }
EMSCRIPTEN_KEEPALIVE void taldrex_soundtrack_release() { std::vector<unsigned char>().swap(ThePage().soundtrack); }

// Loads the show opened, without sound when noSound is set, and checks it as --check
// would. Returns null, or why the show cannot play; taldrex_problems lists what the check
// found either way.
EMSCRIPTEN_KEEPALIVE const char* taldrex_load(int noSound)
{
    Page& page = ThePage();
    if (!page.show)
        return keep("no show is open");
    if (noSound)
        Web().setSoundOff();
    LoadReport loaded;
    if (!page.show->LoadScript(Web(), page.stream, &loaded))
        return keep("script.txt cannot be read in the show's folder");
    page.problems.clear();
    for (const CheckProblem& problem : CheckDemoFolder(page.show->folder(), loaded, page.show->TextureBudget.total()))
        page.problems += CheckProblemLine(problem) + "\n";
    return nullptr;
}

// The check's problem lines, one per line.
EMSCRIPTEN_KEEPALIVE const char* taldrex_problems() { return ThePage().problems.c_str(); }

// Starts the show from its beginning, looping when loop is set. Returns 0 when there is
// nothing to draw.
EMSCRIPTEN_KEEPALIVE int taldrex_start(int loop)
{
    Page& page = ThePage();
    if (!page.show)
        return 0;
    if (page.played)
        Web().seekMusic(page.stream, 0);
    page.played = true;
    page.run = std::make_unique<ShowRun>(*page.show, Web(), page.stream, loop != 0);
    return page.run->start() ? 1 : 0;
}

// The part the next frame draws, and the clock reading (ms) that chose it.
EMSCRIPTEN_KEEPALIVE int taldrex_part() { return ThePage().run ? ThePage().run->next().part : -1; }
EMSCRIPTEN_KEEPALIVE int taldrex_clock() { return ThePage().run ? ThePage().run->shownClock() : 0; }

// One frame of the show. Returns 0 once it is over; the music stops then.
EMSCRIPTEN_KEEPALIVE int taldrex_frame()
{
    Page& page = ThePage();
    if (!page.run)
        return 0;
    if (page.run->frame())
        return 1;
    page.run.reset();
    Web().pauseMusic(page.stream, true);
    return 0;
}

// Capture: the loaded show on a frame-counted clock at width x height, frame k showing
// the clock at floor(k x 1000 / fps) ms, frames whose clock lies in [fromMs, toMs] (toMs
// -1: to the end) drawn.
EMSCRIPTEN_KEEPALIVE void taldrex_capture_begin(int width, int height, int fps, int fromMs, int toMs)
{
    Page& page = ThePage();
    Web().fixSize(width, height);
    page.fps = fps > 0 ? fps : 30;
    page.fromMs = fromMs;
    page.toMs = toMs;
    page.frame = 0;
    page.playback = std::make_unique<Playback>(page.show->Timeline, false);
    page.next = page.playback->start(0, false);
}

// Draws the next frame to capture, evaluating the frames before it that are not drawn.
// Returns its number, or -1 once the capture is over.
EMSCRIPTEN_KEEPALIVE double taldrex_capture_frame()
{
    Page& page = ThePage();
    if (!page.playback || !page.show)
        return -1;
    while (!page.next.over) {
        const long long k = page.frame;
        const TimelineEntry& part = page.show->Timeline[page.next.part];
        const bool drawn = frameTime(k, page.fps) >= page.fromMs;
        if (drawn) {
            SetViewport(Web().pictureWidth(), Web().pictureHeight());
            page.show->DrawPart(part, page.next.partTime, Web().pictureWidth(), Web().pictureHeight());
        } else {
            page.show->EvaluatePart(part, page.next.partTime);
        }
        ++page.frame;
        const long long clock = frameTime(page.frame, page.fps);
        const bool past = page.toMs >= 0 && clock > page.toMs;
        page.next = page.playback->step(clock > INT32_MAX ? INT32_MAX : static_cast<int>(clock), past);
        if (drawn)
            return static_cast<double>(k);
    }
    return -1;
}

} // extern "C"

int main() { return 0; }

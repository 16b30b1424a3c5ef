#include "player/demo_app.h"

#include "audio/mp3_decoder.h"
#include "common/show_archive.h"
#include "demo/check.h"
#include "demo/load_report.h"
#include "demo/screenshot.h"
#include "demo/show.h"
#include "desktop/desktop_platform.h"
#include "desktop/display_choices.h"
#include "desktop/error_report.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "desktop/stop_signals.h"
#include "desktop/window.h"
#include "gpu/gl_extensions.h"
#include "gpu/renderer.h"
#include "gpu/viewport.h"
#include "image/image_limits.h"
#include "player/artwork.h"
#include "player/author_mode.h"
#include "player/beat_grid.h"
#include "player/capture.h"
#include "player/command_line.h"
#include "player/demo_folder.h"
#include "player/live_reload.h"
#include "player/settings_dialog.h"

#include <FL/Fl.H>

#include <cstdio>
#include <string>

DemoApp TheDemoApp;

namespace {

constexpr int ErrorStatus = 1;

// Author mode's watch on the show's files: the show's live reloading, seen through the
// player's interface (the demo layer knows nothing of the player above it).
class LiveReloadWatch : public ShowWatch {
public:
    explicit LiveReloadWatch(Show& show) : show_(show) {}

    // The folder's name is for messages; the folder watched is the show's.
    bool start(const std::string&) override { return reload_.start(show_); }
    bool poll(SoundStream*& stream) override { return reload_.poll(stream); }
    const std::vector<std::string>& problems() const override { return reload_.problems(); }
    void holdScript(bool held) override { reload_.holdScript(held); }
    bool scriptWaiting() const override { return reload_.scriptWaiting(); }
    const std::string& script() const override { return reload_.script(); }
    void scriptSaved(const std::string& text) override { reload_.scriptSaved(text); }

private:
    Show& show_;
    LiveReload reload_;
};

// The beat grid author mode draws: as given, or estimated from the show's soundtrack with
// --bpm auto (what was found is printed, with the options that give it by hand).
BeatGrid authorBeats(const CommandLine& options, const Show& show)
{
    BeatGrid beats{options.bpm, options.beatOffsetMs};
    if (!options.estimateBpm)
        return beats;
    Mp3Stream music;
    if (!show.SoundtrackPath.empty() && music.open(show.folder().openFile(show.SoundtrackPath, SoundtrackFileLimit)))
        beats = EstimateBeatGrid(music);
    if (!HasBeats(beats)) {
        std::fputs("taldrex: no tempo found in the music; the timeline has no beat grid\n", stderr);
        return beats;
    }
    std::printf("taldrex: the music's tempo is about %.2f BPM, its beats falling at %.0f ms "
                "(--bpm %.2f --beat-offset %.0f)\n", beats.bpm, beats.offsetMs, beats.bpm, beats.offsetMs);
    std::fflush(stdout);
    return beats;
}

} // namespace

int DemoApp::run(int argc, char** argv)
{
    CommandLine options;
    if (const std::optional<int> status = parseCommandLine(argc, argv, options))
        return *status;
    // Until a run catches them, SIGINT and SIGTERM end the program at once, as SDL would
    // otherwise turn them into a quit event that nothing reads before the show plays.
    KeepSignalsFromSdl();

    const long long textureMemory = options.textureMemoryMb << 20;
    // Nothing is worth asking or opening without a show to play.
    const std::string folder = chooseDemoFolder(options.demoDir, argv[0]);
    DataFolder showFolder;
    const std::string problem = openDemoFolder(folder, options.allowOutside, showFolder);
    if (options.check) {
        if (!problem.empty())
            return ReportCheck({{IsArchivePath(folder) ? folder : "script.txt", problem}}, folder.empty() ? "." : folder);
        return ReportCheck(CheckDemoFolder(showFolder, textureMemory), folder.empty() ? "." : folder);
    }
    if (!problem.empty()) {
        ReportError("Taldrex", problem);
        return ErrorStatus;
    }
    m_show = std::make_unique<Show>(showFolder, textureMemory);
    if (options.capture.wanted())
        return RunCapture(options.capture, *m_show);
    return initInstance(options, folder);
}

int DemoApp::initInstance(const CommandLine& options, const std::string& folder)
{
    int displayMode = options.displayMode;
    int noSound = options.noSound ? 1 : 0;
    int loopDemo = options.loop ? 1 : 0;

    if (displayMode < 0) {
        if (!SettingsDialog::openDisplay()) {
            ReportError("Taldrex", "no display to show the settings dialog on (is DISPLAY set?); "
                                   "run without it by choosing the display mode: "
                                   "taldrex --mode window|640x480|800x600|1024x768 [DEMO_DIR]");
            return ErrorStatus;
        }
        // The classic bevelled look of dialog controls.
        Fl::scheme("base");
        SettingsDialog dialog;
        dialog.m_noSound = noSound;
        dialog.m_loopDemo = loopDemo;
        // From here on somebody is at the screen to answer a message box.
        ErrorBox = ShowDialogMessageBox;
        if (!dialog.doModal())
            return 0;
        displayMode = dialog.m_displayMode;
        noSound = dialog.m_noSound;
        loopDemo = dialog.m_loopDemo;
    }

    NoSound = noSound;
    WindowDisplay = options.display;
    WindowVsync = options.vsync;
    WindowRenderer = options.renderer;
    WindowIcon = DrawAppIcon();
    AudioDelayMs = options.audioDelayMs;

    // Caught before the display mode changes, so that the window closes through
    // CloseDemoWindow, which gives the desktop its mode back.
    CatchStopSignals();
    const DisplayChoice& choice = DisplayChoices[displayMode];
    if (options.desktop)
        MainWindow = CreateDesktopWindow();
    else if (options.windowWidth > 0)
        MainWindow = CreateDemoWindow(options.windowWidth, options.windowHeight, false);
    else
        MainWindow = CreateDemoWindow(choice.width, choice.height, choice.fullscreen);
    if (!MainWindow) {
        ReportError("Error", "can't open the demo window", SDL_GetError());
        return ErrorStatus;
    }
    SDL_RaiseWindow(MainWindow);

    // OpenGL ES 2.0 has multitexture of its own; only the gl renderer needs the extension.
    if (ActiveRenderer().kind() == RendererKind::Gl && !LoadExtensions())
        FatalError("this OpenGL driver lacks the multitexture extension (GL_ARB_multitexture) the show draws with");

    if (NoSound == 0) {
        if (!SoundSetOutput() || !SoundInit(SoundRate, 32)) {
            NoSound = 1;
            // One line instead of a sound system's own, and never a box: the show goes on.
            std::fputs("taldrex: no audio device; playing without sound\n", stderr);
        }
    }

    LoadReport loaded;
    if (!m_show->LoadScript(Desktop(), m_stream, &loaded))
        FatalError("script.txt can no longer be read in the demo folder");
    // What --check would find: listed in author mode, counted in one line otherwise; the
    // show plays either way. Looked for behind the loading picture, so that the window
    // comes up at once.
    const std::vector<std::string> problems =
        ProblemLines(CheckDemoFolder(m_show->folder(), loaded, m_show->TextureBudget.total()));
    if (!options.author && !problems.empty())
        std::fprintf(stderr, "%s\n", ProblemSummary(problems.size(), folder).c_str());
    Screenshots shots(options.screenshotDir, ScreenshotShowName(folder));
    if (options.author) {
        LiveReloadWatch watch(*m_show);
        RunAuthorMode(Desktop(), *m_show, m_stream, loopDemo != 0, ".", problems, &watch, authorBeats(options, *m_show),
            &shots);
    } else
        m_show->RunTimeline(Desktop(), loopDemo, m_stream, &shots);

    CloseDemoWindow();
}

int RunDemoApp(int argc, char** argv) { return TheDemoApp.run(argc, argv); }

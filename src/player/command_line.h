// The command line: the demo folder, and options that stand in for the settings dialog.
#pragma once

#include "desktop/sound.h"
#include "gpu/renderer.h"
#include "image/image_limits.h"
#include "player/capture.h"

#include <optional>
#include <string>

// The share of the machine's memory the show's pictures may take unless --texture-memory
// says otherwise: a quarter, so that a stranger's show leaves the machine room to work.
constexpr long long MachineMemoryShare = 4;

// --texture-memory's default, in MiB: the lesser of DefaultTextureMemory and
// machineBytes / MachineMemoryShare (at least 1). machineBytes 0 (unknown) gives
// DefaultTextureMemory.
long long DefaultTextureMemoryMb(long long machineBytes);

// The memory this process may have: the machine's physical memory, or its control
// group's limit when that is lower. Returns 0 when neither can be read.
long long MachineMemory();

struct CommandLine {
    std::string demoDir;  // empty: the current folder
    int displayMode = -1; // 0..3 from --mode; -1 asks in the settings dialog
    bool noSound = false;
    bool loop = false;
    bool check = false;     // --check: report the demo folder's problems, show nothing
    bool author = false;    // --author: a window with the makers' keys and status bar, no dialog
    bool allowOutside = false; // --allow-outside: data files may lie outside the demo folder
    long long textureMemoryMb = DefaultTextureMemoryMb(MachineMemory()); // --texture-memory, in MiB
    CaptureOptions capture; // capture.wanted(): --capture or --video, no window, no sound
    std::string screenshotDir; // --screenshot-dir: where S writes screenshots (absolute); empty: the current folder

    // Watching on today's desktops. With desktop or a window size, displayMode is 0 and
    // only says that the dialog is skipped.
    bool desktop = false;       // --mode desktop: fullscreen at the desktop's own resolution
    int windowWidth = 0;        // --mode WxH for a size the dialog does not offer: a window
    int windowHeight = 0;       //   of that client size; 0 when not asked for
    int display = 0;            // --display N: the monitor, 0 the first
    bool vsync = true;          // --vsync on|off: buffer swaps wait for the display's refresh
    int audioDelayMs = DefaultAudioDelayMs; // --audio-delay MS: the picture against the music
    RendererKind renderer = RendererKind::Gl; // --renderer gl|gles2: the window's and the capture's (as capture.renderer)

    // Author mode's beat grid: --bpm N (0: none), --bpm auto, --beat-offset MS.
    double bpm = 0.0;
    bool estimateBpm = false;
    double beatOffsetMs = 0.0;
};

// Parses the arguments into options. Returns an exit status when the program should end
// at once: 0 after printing --help or --version, 2 after printing a usage error.
std::optional<int> parseCommandLine(int argc, const char* const* argv, CommandLine& options);

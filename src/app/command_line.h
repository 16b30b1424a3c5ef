// The command line: the demo folder, and options that stand in for the settings dialog.
#pragma once

#include "demo/capture.h"

#include <optional>
#include <string>

struct CommandLine {
    std::string demoDir;  // empty: the current folder
    int displayMode = -1; // 0..3 from --mode; -1 asks in the settings dialog
    bool noSound = false;
    bool loop = false;
    bool check = false;     // --check: report the demo folder's problems, show nothing
    bool allowOutside = false; // --allow-outside: data files may lie outside the demo folder
    CaptureOptions capture; // capture.wanted(): --capture or --video, no window, no sound
};

// Parses the arguments into options. Returns an exit status when the program should end
// at once: 0 after printing --help or --version, 2 after printing a usage error.
std::optional<int> parseCommandLine(int argc, const char* const* argv, CommandLine& options);

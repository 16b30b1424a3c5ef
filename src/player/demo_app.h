// DemoApp: the program's start-up routine, from the command line and the settings
// dialog to the window, the sound start-up and the show.
#pragma once

#include "demo/show.h"

#include <memory>
#include <string>

struct CommandLine;
struct SoundStream;

class DemoApp {
public:
    // Runs the program and returns its exit status on the paths that return: 0 when the
    // dialog was cancelled or after --help, non-zero for errors. A show that runs ends
    // the process from the window's close handling instead.
    int run(int argc, char** argv);

    std::unique_ptr<Show> m_show;    // the show, once its folder is open
    SoundStream* m_stream = nullptr; // the soundtrack, once the script opens one

private:
    int initInstance(const CommandLine& options, const std::string& folder);
};

// The one application object.
extern DemoApp TheDemoApp;

// Runs TheDemoApp; main's only call.
int RunDemoApp(int argc, char** argv);

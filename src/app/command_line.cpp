#include "app/command_line.h"

#include "app/display_choices.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#ifndef TALDREX_VERSION
#define TALDREX_VERSION "unknown"
#endif

std::optional<int> parseCommandLine(int argc, const char* const* argv, CommandLine& options)
{
    CLI::App app{"Taldrex: plays a scripted real-time 3D show in step with its soundtrack.\n"
                 "Without --mode a settings dialog asks for the display mode and options.",
                 "taldrex"};
    app.set_version_flag("--version", "taldrex " TALDREX_VERSION);

    std::vector<std::string> modeNames;
    for (const DisplayChoice& choice : DisplayChoices)
        modeNames.push_back(choice.option);
    std::string modeName;

    app.add_option("DEMO_DIR", options.demoDir,
                   "folder holding script.txt and its data (default: the current folder)");
    app.add_option("--mode", modeName,
                   "skip the settings dialog: a 640x480 window, or fullscreen at 640x480, 800x600 or 1024x768")
        ->check(CLI::IsMember(modeNames, CLI::ignore_case).description(""))
        ->type_name("window|640x480|800x600|1024x768");
    app.add_flag("--no-sound", options.noSound, "play without sound, timed by the system clock");
    app.add_flag("--loop", options.loop, "start the show again when it ends");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    for (int i = 0; i < DisplayChoiceCount; ++i) {
        if (!modeName.empty() && CLI::detail::to_lower(modeName) == DisplayChoices[i].option)
            options.displayMode = i;
    }
    return std::nullopt;
}

// taldrex-scene export: a scene file as glTF 2.0, sampled frame by frame as the player plays it.
#pragma once

#include <CLI/CLI.hpp>

// Adds the export command to app; when it runs, status gets its exit status: 0 when the
// glTF was written from a scene read whole, 1 when the scene cannot be opened or the glTF
// cannot be written, 2 when the scene is damaged (what was read is exported all the same).
void AddExportCommand(CLI::App& app, int& status);

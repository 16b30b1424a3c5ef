// taldrex-scene dump: what a scene file holds, as text or JSON, and where damage stops it.
#pragma once

#include <CLI/CLI.hpp>

// Adds the dump command to app; when it runs, status gets its exit status: 0 when the
// file was read whole, 1 when it cannot be opened, 2 when it is damaged, cut short or no
// scene file.
void AddDumpCommand(CLI::App& app, int& status);

// `taldrex-scene import --watch`: the import run once, then again each time the model, or a
// buffer or picture it names, has been saved and left alone for a moment.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The files the glTF model at modelPath names beside itself, from json, its JSON text (a
// GLB's first chunk): every "uri" that is not a data: URI, percent-decoded and resolved
// against the model's folder. Empty when the text names none or is not JSON; a text cut
// short gives the uris read whole.
std::vector<std::string> ReferencedFiles(const std::string& modelPath, const std::string& json);

// One import: its summary goes to out and its problems to err; returns 0 when the folder
// was written, 1 when nothing was, 2 on a usage error.
using ImportRun = std::function<int(std::FILE* out, std::FILE* err)>;

// The line a watch prints for one import, from the import's status and what it printed:
// "imported ..." with its counts, or the reason and whether the last good import stays.
// stamp leads the line (the time of day).
std::string WatchLine(const std::string& stamp, int status, const std::string& out, const std::string& err,
                      bool anyGood);

struct WatchSettings {
    std::string model;
    // How long the files must stay untouched after a save before the import runs.
    std::chrono::milliseconds quiet{100};
    // Ends the watch when set (tests); the program's watch ends on SIGINT or SIGTERM.
    const std::atomic<bool>* stop = nullptr;
};

// Runs import once, then after every save of the model or the files it names, printing one
// WatchLine per import to log. Returns 2 when the first import is a usage error, 1 when
// the model's folder cannot be watched, and otherwise, once stopped, the status of the stop
// signal (130 for SIGINT, 143 for SIGTERM), or 0 when settings.stop ended it.
int RunImportWatch(const WatchSettings& settings, const ImportRun& import, std::FILE* log);

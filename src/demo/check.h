// The demo checker: what in a demo folder the show would silently hide, one line each.
#pragma once

#include "common/data_file.h"
#include "image/image_limits.h"

#include <string>
#include <vector>

struct LoadReport;

// One problem: the file it is in (or about), the line of the script it comes from (0 for
// none) and what is wrong.
struct CheckProblem {
    std::string file;
    std::string problem;
    int line = 0;
};

// Checks the demo folder folder: script.txt (lines the show ignores:
// unknown headers, text outside any section, textures that are neither JPEG nor PNG),
// every file it names (present, decodable, scenes read whole), parts against the
// registries, cameras against the scenes, material maps against the textures listed
// before their scene, end times against each other and the music; pictures are decoded
// against textureMemory bytes, as the show's would be. Loads nothing into any show.
std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder,
                                          long long textureMemory = DefaultTextureMemory);

// The same check, taking what loading the show found in each picture and scene file from
// loaded (filled by LoadScript) instead of reading the file again; a file loaded does not
// hold is read. Gives the problems CheckDemoFolder() gives for the same files.
std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder, const LoadReport& loaded,
                                          long long textureMemory = DefaultTextureMemory);

// One problem as --check prints it: "FILE: problem", or "FILE:LINE: problem" for a script
// line, with names made printable.
std::string CheckProblemLine(const CheckProblem& problem);

// Prints the problems as "FILE: problem" lines ("FILE:LINE: problem" for a script line) and a summary naming folder. Returns the
// exit status: 0 when there is none, 1 otherwise.
int ReportCheck(const std::vector<CheckProblem>& problems, const std::string& folder);

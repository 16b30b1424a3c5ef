// The demo checker: what in a demo folder the show would silently hide, one line each.
#pragma once

#include "common/data_file.h"

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
// before their scene, end times against each other and the music. Loads nothing into the
// show's registries.
std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder);

// The same check, taking what loading the show found in each picture and scene file from
// loaded (filled by LoadScript) instead of reading the file again; a file loaded does not
// hold is read. Gives the problems CheckDemoFolder() gives for the same files.
std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder, const LoadReport& loaded);

// Prints the problems as "FILE: problem" lines ("FILE:LINE: problem" for a script line) and a summary naming folder. Returns the
// exit status: 0 when there is none, 1 otherwise.
int ReportCheck(const std::vector<CheckProblem>& problems, const std::string& folder);

// The demo folder: the folder holding the show's script.txt, where every file of the
// show is found.
#pragma once

#include "common/data_file.h"

#include <string>

// The folder to play: dir when given; otherwise the current folder when it holds a
// script.txt, else the bundled show installed beside the program (empty when none is).
std::string chooseDemoFolder(const std::string& dir, const char* programPath);

// Opens dir (the current folder when empty) as folder, confining every data file to it
// unless allowOutside is set, and checks that its script.txt, in any letter case, can be
// read. An archive (IsArchivePath) is read in place, always confined. The program's working directory stays where it was. Returns an empty string on
// success, otherwise a message naming the folder and the problem.
std::string openDemoFolder(const std::string& dir, bool allowOutside, DataFolder& folder);

// The demo folder: the folder holding the show's script.txt, where every file of the
// show is found.
#pragma once

#include "common/data_file.h"

#include <string>

// The folder to play: dir when given; otherwise the current folder when it holds a
// script.txt, else the bundled show (FindBundledShow for the running program and the
// prefix it was built for). Empty when none of them is there.
std::string chooseDemoFolder(const std::string& dir, const char* programPath);

// The bundled show of the program file programFile: show/ beside it, show/ in the build
// tree above it, or share/taldrex/show under the prefix it stands in, so a copy moved or
// unpacked anywhere finds its own; then installedShow. Relative places are tried only when
// programFile names a folder. Returns the first that holds a readable script.txt, or an
// empty string when none does.
std::string FindBundledShow(const std::string& programFile, const std::string& installedShow);

// Opens dir (the current folder when empty) as folder, confining every data file to it
// unless allowOutside is set, and checks that its script.txt, in any letter case, can be
// read. An archive (IsArchivePath) is read in place, always confined. The program's working directory stays where it was. Returns an empty string on
// success, otherwise a message naming the folder and the problem.
std::string openDemoFolder(const std::string& dir, bool allowOutside, DataFolder& folder);

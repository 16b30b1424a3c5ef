// The demo folder: the show runs with the folder holding its script.txt as working directory.
#pragma once

#include <string>

// The folder to play: dir when given; otherwise the current folder when it holds a
// script.txt, else the bundled show installed beside the program (empty when none is).
std::string chooseDemoFolder(const std::string& dir, const char* programPath);

// Makes dir (the current folder when empty) the working directory, confines every data
// file to it unless allowOutside is set, and checks that its script.txt, in any letter
// case, can be read. Returns an empty string on success, otherwise a message naming the
// folder and the problem.
std::string enterDemoFolder(const std::string& dir, bool allowOutside);

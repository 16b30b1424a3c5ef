// The demo folder: the show runs with the folder holding its script.txt as working directory.
#pragma once

#include <string>

// Makes dir (the current folder when empty) the working directory and checks that its
// script.txt, in any letter case, can be read. Returns an empty string on success,
// otherwise a message naming the folder and the problem.
std::string enterDemoFolder(const std::string& dir);

// The bundled show as a whole: everything the player needs, written into one folder.
#pragma once

#include <string>

// Writes outDir/data/ (music, pictures) and then outDir/script.txt, creating the folders.
// The output depends on nothing but this program: two runs give identical files.
// Returns false and sets error, naming the file, when something cannot be written.
bool generateShow(const std::string& outDir, std::string& error);

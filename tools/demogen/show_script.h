// The bundled show's demo script: the music, the textures (before the scenes that use
// them), the scenes, and one part block per entry of show::Parts.
#pragma once

#include <string>

// The text of script.txt, lines ending in a line feed.
std::string scriptText();

// Writes scriptText() to path. Returns false and sets error, naming the file, on failure.
bool writeScript(const std::string& path, std::string& error);

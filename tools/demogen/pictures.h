// The show's pictures: loading screen, backgrounds, overlays, surface textures and the
// dialog's title picture, all drawn from code in the show's palette.
#pragma once

#include <string>

// Writes every picture into dataDir (which must exist) under the names of show_assets.h.
// Returns false and sets error (naming the file) when one cannot be written.
bool writePictures(const std::string& dataDir, std::string& error);

// Writing pictures to files: PNG (with or without alpha), baseline JPEG and 24-bit BMP.
// Each returns false and sets error, naming the file, when the file cannot be written.
#pragma once

#include "canvas.h"

#include <string>

// A PNG of the canvas: RGBA when withAlpha, else RGB composited over black.
bool writePng(const std::string& path, const Canvas& canvas, bool withAlpha, std::string& error);

// A JPEG of the canvas composited over black, at quality (1 to 100), full colour resolution.
bool writeJpeg(const std::string& path, const Canvas& canvas, int quality, std::string& error);

// An uncompressed 24-bit BMP of the canvas composited over black (rows stored bottom up).
bool writeBmp(const std::string& path, const Canvas& canvas, std::string& error);

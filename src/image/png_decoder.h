// PNG decoding into red-green-blue-alpha pixels for the texture builders.
#pragma once

#include "common/data_file.h"
#include "image/decoded_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ImageBudget;

// Decodes the PNG file at path in folder (a show path such as "data\\Logo.png" or a plain
// path, at most ImageFileLimit bytes). The result holds width x height x 4 bytes, red,
// green, blue, alpha per pixel, top row first, every colour type and depth brought to
// 8-bit RGBA with the show's fixed gamma curve applied to the colour samples. The
// picture's bytes are taken from budget, when given, before it is decoded. Returns an
// empty image when the file is missing or unreadable or its header is; also, with refusal
// set, when the file may not be read, the picture exceeds MaxImageSide or MaxImagePixels,
// declares more pixels than the file's data could ever hold, or passes the budget. When
// the data fails part-way, returns the header's size with the rows decoded so far and zero
// bytes after them (complete is false then).
DecodedImage DecodePng(const std::string& path, ImageBudget* budget = nullptr,
                       const DataFolder& folder = DataFolder());

// Decodes size bytes of PNG data at data exactly as DecodePng of a file holding them.
DecodedImage DecodePng(const uint8_t* data, size_t size, ImageBudget* budget = nullptr);

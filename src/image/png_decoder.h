// PNG decoding into red-green-blue-alpha pixels for the texture builders.
#pragma once

#include "image/decoded_image.h"

#include <string>

// Decodes the PNG file at path (a show path such as "data\\Logo.png" or a plain path; it
// is found with resolveDataPath). The result holds width x height x 4 bytes, red, green,
// blue, alpha per pixel, top row first, every colour type and depth brought to 8-bit
// RGBA with the show's fixed gamma curve applied to the colour samples.
// Returns an empty image when the file is missing, its header is unreadable or the
// picture exceeds MaxImageSide; when the data fails part-way, returns the header's size
// with the rows decoded so far and zero bytes after them (complete is false then).
DecodedImage DecodePng(const std::string& path);

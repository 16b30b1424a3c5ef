// JPEG decoding into blue-green-red pixels for the texture builders.
#pragma once

#include "image/decoded_image.h"

#include <string>

// Decodes the JPEG file at path (a show path such as "data\\Intro.jpg" or a plain path;
// it is found with resolveDataPath). The result holds width x height x 3 bytes, blue,
// green, red per pixel, top row first; greyscale files give three equal bytes, CMYK and
// YCCK files are converted to colour. Returns an empty image on any failure (missing
// file, damaged header, a coding the library cannot decode, a picture over MaxImageSide).
DecodedImage DecodeJpeg(const std::string& path);

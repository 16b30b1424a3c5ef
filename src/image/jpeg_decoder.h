// JPEG decoding into blue-green-red pixels for the texture builders.
#pragma once

#include "common/data_file.h"
#include "image/decoded_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ImageBudget;

// Decodes the JPEG file at path in folder (a show path such as "data\\Intro.jpg" or a
// plain path, at most ImageFileLimit bytes). The result holds width x height x 3 bytes,
// blue, green, red per pixel, top row first; greyscale files give three equal bytes, CMYK
// and YCCK files are converted to colour. The picture's bytes are taken from budget, when
// given, before it is decoded. Data that is missing or corrupt part-way is filled in by
// the library: the picture is kept with complete false.
// Returns an empty image on any failure (missing file, damaged header, a coding the
// library cannot decode); also, with refusal set, when the file may not be read, holds
// more than MaxJpegScans scans, exceeds MaxImageSide or MaxImagePixels, is a sequential
// file too small to hold its picture, a multi-scan file whose coefficients would take more
// than 1032 bytes of working memory per byte of file (64 MiB at least), or passes the
// budget.
DecodedImage DecodeJpeg(const std::string& path, ImageBudget* budget = nullptr,
                        const DataFolder& folder = DataFolder());

// Decodes size bytes of JPEG data at data exactly as DecodeJpeg of a file holding them.
DecodedImage DecodeJpeg(const uint8_t* data, size_t size, ImageBudget* budget = nullptr);

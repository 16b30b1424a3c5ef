// PngEncoder: 8-bit RGB and RGBA pictures written as PNG, the one PNG writer of the player
// and the makers' tools.
#pragma once

#include <cstdio>
#include <string>

// Packed 8-bit rows of `channels` bytes per pixel, as the caller holds them.
struct PngPicture {
    int width = 0;
    int height = 0;
    int channels = 4; // 3: RGB, 4: RGBA
    const unsigned char* pixels = nullptr;
    // Rows stored bottom row first, as OpenGL reads a frame back; the file is top row first.
    bool bottomRowFirst = false;
};

// How the rows are compressed. Each writer keeps its own choice, so the bytes of the files
// it writes stay the same.
enum class PngCompression {
    // libpng's defaults: the best of the five filters per row, zlib's default level.
    Standard,
    // The Up filter for every row, the one rendered frames suit best, and zlib's quickest
    // level: files about a tenth larger, written in about half the time.
    Fast,
};

// Writes the picture as PNG to an open file, which the caller closes. Returns false when
// libpng fails; with `message` the reason goes there and warnings are dropped, without it
// libpng prints both on standard error.
bool WritePng(std::FILE* file, const PngPicture& picture, PngCompression compression,
              std::string* message = nullptr);

// The picture as the bytes of a PNG file; empty when libpng fails (it prints why on
// standard error).
std::string EncodePng(const PngPicture& picture, PngCompression compression);

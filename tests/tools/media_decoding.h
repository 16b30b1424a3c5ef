// Reading back what the demo generator writes, with the general-purpose decoders, so the
// tests judge the files as a player would see them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    int channels = 0;              // 3 (RGB) or 4 (RGBA)
    std::vector<uint8_t> pixels;   // top row first, no padding
};

// A PNG as RGBA (alpha 255 where the file has none). Empty (width 0) when unreadable.
DecodedImage decodePng(const std::string& path);

// A JPEG as RGB. Empty when unreadable.
DecodedImage decodeJpeg(const std::string& path);

// An uncompressed 24-bit BMP as RGB. Empty when unreadable or of another kind.
DecodedImage decodeBmp(const std::string& path);

struct DecodedSound {
    long rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

// An MP3 decoded to 16-bit samples at its own rate (gapless, as players decode it).
// Empty (rate 0) when unreadable.
DecodedSound decodeMp3(const std::string& path);

// The whole file as bytes; empty when unreadable.
std::string readFile(const std::string& path);

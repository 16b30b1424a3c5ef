// DecodedImage: the raw pixels a decoder hands to the texture builders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

// What one picture costs the show's texture memory, in bytes, from its header on.
struct PictureCost {
    long long decoded = 0; // the decoded pixels
    long long working = 0; // the file, the decoder's buffers and the copies the texture is built through
    long long stored = 0;  // the texture's levels as the driver keeps them
    // What the picture holds only while it loads, given back once its texture is built.
    long long loading() const { return decoded + working; }
    long long total() const { return decoded + working + stored; }
};

// A decoded picture, rows from the top of the picture down, no padding between rows.
// JPEG pixels are blue, green, red (3 bytes); PNG pixels red, green, blue, alpha (4 bytes).
// An empty image (width 0, height 0, no pixels) is what every failed decode gives.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    // True when every row was decoded; a PNG that fails part-way keeps its decoded rows
    // but leaves this false.
    bool complete = false;
    // Why a limit refused the picture or its file (too large, more than its data could
    // hold, too many scans, over the show's texture memory, not a regular file), for
    // messages; empty when it decoded, or failed only because it was missing or damaged.
    std::string refusal;
    // What the picture costs the show's texture memory (see TexturePictureCost), known
    // from its header; zero when the decode was refused before.
    PictureCost cost;

    bool empty() const { return pixels.empty(); }
};

// The largest width and height a decoder accepts. Textures beyond this are not drawable on
// common OpenGL implementations, and the limit keeps width x height x 4 far below 2^32, so
// a hostile header can neither wrap the buffer size nor ask for gigabytes.
constexpr uint32_t MaxImageSide = 16384;

// The most pixels one decoded picture may hold.
constexpr uint64_t MaxImagePixels = 256ULL << 20;

// True when a picture of width x height may be allocated: both sides 1 .. MaxImageSide
// and at most MaxImagePixels in all.
inline bool ImageSizeAllowed(uint32_t width, uint32_t height)
{
    return width >= 1 && height >= 1 && width <= MaxImageSide && height <= MaxImageSide &&
        uint64_t(width) * height <= MaxImagePixels;
}

// Sets buffer to bytes zero bytes. Returns false, leaving buffer empty, when the memory
// cannot be had: loading reports no errors and must not end the program over a picture.
inline bool AllocateZeroed(std::vector<uint8_t>& buffer, std::size_t bytes)
{
    try {
        buffer.assign(bytes, 0);
        return true;
    } catch (const std::bad_alloc&) {
        buffer.clear();
        return false;
    }
}

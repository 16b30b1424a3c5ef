// Test helpers: image files of known content written with libpng and libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The shared folder of real test files nobody here wrote: TALDREX_SHARED_TESTDATA, or,
// in a checkout that sits deeper than the shared folder's neighbour, the nearest
// "shared/testdata" above the source tree.
std::string sharedTestData();

// A fresh empty folder under the system temp folder, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// What writePng puts into the file besides the samples.
struct PngOptions {
    std::vector<uint8_t> palette;      // red, green, blue per entry (palette images)
    std::vector<uint8_t> paletteAlpha; // tRNS alpha per palette entry; none when empty
    double fileGamma = 0.0;            // a gAMA chunk when above 0
    bool storedOnly = false; // no compression and no filtering: IDAT bytes follow the rows
};

// Writes a PNG of width x height with the given colour type and bit depth; rows holds the
// packed samples of each row (16-bit samples big-endian), top row first.
void writePng(const std::string& path, int width, int height, int colourType, int bitDepth,
    const std::vector<std::vector<uint8_t>>& rows, const PngOptions& options = {});

// Rewrites the width and height of the PNG file's header (with a valid checksum).
void patchPngSize(const std::string& path, uint32_t width, uint32_t height);

// Writes a JPEG at quality 100 without chroma subsampling. samples holds width x height
// pixels of `components` bytes, top row first, in inputSpace (a J_COLOR_SPACE value);
// fileSpace is the colour space stored in the file.
void writeJpeg(const std::string& path, int width, int height, int components, int inputSpace, int fileSpace,
    const std::vector<uint8_t>& samples);

// Rewrites the width and height in the JPEG file's frame header.
void patchJpegSize(const std::string& path, uint16_t width, uint16_t height);

// The nearest integer to 255 x (v / 255) ^ (1 / 1.1): the decoder's colour curve.
int gammaCorrected(double v);

// Width x height pixels of RGB bytes, every pixel (r, g, b).
std::vector<uint8_t> solidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b);

// Limits on decoding: per picture and per show, so that a folder from a stranger can
// neither declare one enormous picture nor add up many large ones.
#pragma once

#include "common/data_file.h"
#include "image/decoded_image.h"

#include <cstdint>
#include <string>
#include <vector>

// The most scans a JPEG may hold: each scan passes over the whole picture again, so a
// small file of empty progressive scans would otherwise decode for minutes.
constexpr int MaxJpegScans = 1000;

// The decoded texture memory a show may take when --texture-memory does not say.
constexpr long long DefaultTextureMemory = 2LL << 30;

// Decoded picture memory, counted from each header before its picture is decoded.
class ImageBudget {
public:
    explicit ImageBudget(long long bytes = DefaultTextureMemory) : total_(bytes), remaining_(bytes) {}

    // Takes bytes. Returns false, taking nothing, when they pass what remains.
    bool take(long long bytes);
    // Gives back bytes taken for a picture that came to nothing.
    void giveBack(long long bytes);
    long long total() const { return total_; }
    long long remaining() const { return remaining_; }

private:
    long long total_;
    long long remaining_;
};

// Reads the whole image file at path in folder, at most ImageFileLimit bytes. Returns
// false, bytes empty, when it cannot be opened or read; image.refusal then says why,
// unless the file is simply missing.
bool ReadImageFile(const std::string& path, DecodedImage& image, std::vector<uint8_t>& bytes,
                   const DataFolder& folder = DataFolder());

// Checks a header's picture size against MaxImageSide and MaxImagePixels. Returns false,
// with image.refusal set, when it passes them.
bool CheckPictureSize(uint32_t width, uint32_t height, DecodedImage& image);

// Takes a decoded picture's bytes from budget (none is taken without one). Returns false,
// with image.refusal set and nothing taken, when they pass what remains.
bool TakePictureMemory(long long bytes, ImageBudget* budget, DecodedImage& image);

// The refusal for a header that declares more pixels than a file of fileBytes can hold.
std::string BeyondDataRefusal(uint32_t width, uint32_t height, long long fileBytes);

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

// The texture memory a show may take when its caller does not say; the desktop player's
// default is the lesser of this and a share of the machine's memory.
constexpr long long DefaultTextureMemory = 2LL << 30;

// Bytes a driver keeps for each texel of a texture level: three-component texels are
// stored padded to four.
constexpr long long DriverTexelBytes = 4;

// The side the mipmap builder gives a picture side: a nearby power of two (3 -> 4,
// 5 -> 4, 6 -> 8, 100 -> 128, 640 -> 512, 480 -> 512).
int MipmapSide(int side);

// The cost of a width x height picture decoded to components bytes a pixel (3 or 4), with
// decoderWorking bytes of the file and the decoder's own, built into a texture with every
// mipmap level as the show builds each of its pictures: a three-component picture is copied
// once more (bottom row first), the mipmap builder copies the first level, the driver keeps
// every level, and a picture whose sides are not powers of two is rescaled into a copy
// after the driver took one at its own size.
PictureCost TexturePictureCost(uint32_t width, uint32_t height, int components, long long decoderWorking);

// Texture memory, counted from each header before its picture is decoded: a picture
// takes its whole cost while it loads and keeps its stored levels taken while it lives.
class ImageBudget {
public:
    explicit ImageBudget(long long bytes = DefaultTextureMemory) : total_(bytes), remaining_(bytes) {}

    // Takes bytes. Returns false, taking nothing, when they pass what remains.
    bool take(long long bytes);
    // Gives back bytes taken for a picture that came to nothing.
    void giveBack(long long bytes);
    // Gives back what a picture of cost held only while it loaded; its stored levels stay.
    void endLoading(const PictureCost& cost) { giveBack(cost.loading()); }
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

// Takes a picture's whole cost from budget (nothing is taken without one) and records it
// in image.cost. Returns false, with image.refusal naming the cost and nothing taken, when
// it passes what remains.
bool TakePictureMemory(const PictureCost& cost, ImageBudget* budget, DecodedImage& image);

// The refusal for a header that declares more pixels than a file of fileBytes can hold.
std::string BeyondDataRefusal(uint32_t width, uint32_t height, long long fileBytes);

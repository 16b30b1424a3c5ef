#include "image/image_limits.h"

#include <cstdio>

bool ImageBudget::take(long long bytes)
{
    if (bytes > remaining_)
        return false;
    remaining_ -= bytes;
    return true;
}

void ImageBudget::giveBack(long long bytes)
{
    remaining_ += bytes;
}

int MipmapSide(int side)
{
    int power = 1;
    while (side != 1 && side != 3) {
        side >>= 1;
        power *= 2;
    }
    return side == 3 ? power * 4 : power;
}

namespace {

// The texels of a mipmap chain from width x height down to 1 x 1.
long long chainTexels(long long width, long long height)
{
    long long texels = 0;
    for (;; width = width > 1 ? width / 2 : 1, height = height > 1 ? height / 2 : 1) {
        texels += width * height;
        if (width == 1 && height == 1)
            return texels;
    }
}

} // namespace

PictureCost TexturePictureCost(uint32_t width, uint32_t height, int components, long long decoderWorking)
{
    if (width == 0 || height == 0)
        return PictureCost();
    const long long pixels = static_cast<long long>(width) * height;
    const int levelWidth = MipmapSide(static_cast<int>(width));
    const int levelHeight = MipmapSide(static_cast<int>(height));
    const long long firstLevel = static_cast<long long>(levelWidth) * levelHeight;
    PictureCost cost;
    cost.decoded = pixels * components;
    cost.working = decoderWorking + firstLevel * components;
    if (components == 3)
        cost.working += pixels * 3;
    // A picture whose sides are not powers of two is rescaled, and the driver's copy of it
    // at its own size stays until the levels at the new size replace it.
    if (firstLevel != pixels)
        cost.working += firstLevel * components + chainTexels(width, height) * DriverTexelBytes;
    cost.stored = chainTexels(levelWidth, levelHeight) * DriverTexelBytes;
    return cost;
}

namespace {

std::string describeSize(uint32_t width, uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

} // namespace

bool ReadImageFile(const std::string& path, DecodedImage& image, std::vector<uint8_t>& bytes, const DataFolder& folder)
{
    bytes.clear();
    DataFile data = folder.openFile(path, ImageFileLimit);
    if (!data) {
        if (data.error != DataFileError::Missing)
            image.refusal = data.problem;
        return false;
    }
    if (!AllocateZeroed(bytes, size_t(data.size)) ||
        std::fread(bytes.data(), 1, bytes.size(), data.file.get()) != bytes.size()) {
        bytes.clear();
        return false;
    }
    return true;
}

bool CheckPictureSize(uint32_t width, uint32_t height, DecodedImage& image)
{
    if (ImageSizeAllowed(width, height))
        return true;
    image.refusal = "declares " + describeSize(width, height) + ", more than the " + std::to_string(MaxImageSide) +
        " x " + std::to_string(MaxImageSide) + " a picture may have";
    return false;
}

bool TakePictureMemory(const PictureCost& cost, ImageBudget* budget, DecodedImage& image)
{
    if (budget && !budget->take(cost.total())) {
        image.refusal = "it costs " + DescribeBytes(cost.total()) + " of texture memory (" +
            DescribeBytes(cost.decoded) + " of pixels, " + DescribeBytes(cost.working) + " more while it loads, " +
            DescribeBytes(cost.stored) + " of texture levels), which would pass the show's texture memory (" +
            DescribeBytes(budget->total()) + " in all, " + DescribeBytes(budget->remaining()) +
            " left; see --texture-memory)";
        return false;
    }
    image.cost = cost;
    return true;
}

std::string BeyondDataRefusal(uint32_t width, uint32_t height, long long fileBytes)
{
    return "declares " + describeSize(width, height) + ", more than its " + DescribeBytes(fileBytes) +
        " of data could hold";
}

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

bool TakePictureMemory(long long bytes, ImageBudget* budget, DecodedImage& image)
{
    if (budget && !budget->take(bytes)) {
        image.refusal = "its " + DescribeBytes(bytes) + " of pixels would pass the show's texture memory (" +
            DescribeBytes(budget->total()) + " in all, " + DescribeBytes(budget->remaining()) +
            " left; see --texture-memory)";
        return false;
    }
    return true;
}

std::string BeyondDataRefusal(uint32_t width, uint32_t height, long long fileBytes)
{
    return "declares " + describeSize(width, height) + ", more than its " + DescribeBytes(fileBytes) +
        " of data could hold";
}

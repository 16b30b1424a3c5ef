#include "image/png_decoder.h"

#include "common/file_path.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <png.h>

namespace {

// The show's fixed gamma pair: the screen gamma is the single-precision 2.2 widened, and
// the file gamma 0.5 replaces whatever the file declares. Together they brighten every
// colour sample by the exponent 1 / 1.1.
constexpr double ScreenGamma = static_cast<double>(2.2f);
constexpr double FileGamma = 0.5;

// libpng buffers (and clears) an ancillary chunk of whatever length the file declares,
// so a 57-byte file claiming a 1 GB text chunk would take a gigabyte of memory. Its
// allocations are capped instead: the largest it needs for a legitimate picture of up to
// MaxImageSide pixels (rows, zlib state, colour profiles, texts) is far smaller. A refused
// allocation fails the decode.
constexpr png_alloc_size_t MaxLibraryAllocation = 64 * 1024 * 1024;

png_voidp cappedAllocate(png_structp, png_alloc_size_t size)
{
    return size <= MaxLibraryAllocation ? std::malloc(size) : nullptr;
}

void release(png_structp, png_voidp memory)
{
    std::free(memory);
}

// Reads the picture into image. libpng errors jump back here and end the read; image then
// holds what was decoded so far. image belongs to the caller, so nothing modified after
// the jump point is a local of this function.
void readPng(png_structp png, png_infop info, FILE* file, DecodedImage& image)
{
    if (setjmp(png_jmpbuf(png)))
        return;
    png_init_io(png, file);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlaceType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlaceType, nullptr, nullptr);
    if (!imageSizeAllowed(width, height))
        return;
    const size_t rowBytes = size_t(width) * 4;
    if (!allocateZeroed(image.pixels, rowBytes * height))
        return;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    // Grey files would otherwise come out one or two bytes per pixel; the texture
    // builders take four.
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_gamma(png, ScreenGamma, FileGamma);
    png_set_swap(png);
    png_set_filler(png, 255, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != rowBytes) {
        image = DecodedImage();
        return;
    }

    // libpng writes each pass's pixels into the row it is given and leaves the others, so
    // rows are read straight into the picture: later passes of an interlaced file add to
    // the pixels the earlier ones left there.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_bytep row = image.pixels.data() + rowBytes * y;
            png_read_rows(png, &row, nullptr, 1);
        }
    }
    image.complete = true;
    png_read_end(png, info);
}

} // namespace

DecodedImage DecodePng(const std::string& path)
{
    DecodedImage image;
    FILE* file = std::fopen(resolveDataPath(path).c_str(), "rb");
    if (!file)
        return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        std::fclose(file);
        return image;
    }
    png_set_mem_fn(png, nullptr, cappedAllocate, release);
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        return image;
    }
    readPng(png, info, file, image);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);

    if (image.width == 0)
        return DecodedImage();
    return image;
}

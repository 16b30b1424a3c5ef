#include "image/png_decoder.h"

#include "image/image_limits.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Ancillary chunks libpng keeps (texts, suggested palettes, unknown chunks) and the
// largest one it buffers or inflates: far beyond what a picture carries, far below what
// a hostile file may claim.
constexpr png_uint_32 MaxCachedChunks = 100;
constexpr png_alloc_size_t MaxChunkBytes = 8 * 1024 * 1024;

// Chunks nothing here reads, skipped unread: each compressed text would otherwise be
// inflated, some 80 ms for 8 KB declaring 8 MB, however many the file holds.
const png_byte IgnoredChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf";

// Deflate turns one compressed byte into at most 1032 bytes (two 1-bit codes for a
// 258-byte match), so no file holds more image data than this many times its size.
constexpr uint64_t MaxInflation = 1032;

png_voidp cappedAllocate(png_structp, png_alloc_size_t size)
{
    return size <= MaxLibraryAllocation ? std::malloc(size) : nullptr;
}

void release(png_structp, png_voidp memory)
{
    std::free(memory);
}

// The bytes of filtered rows (each with its filter byte) that libpng inflates for the
// picture, every interlace pass included.
uint64_t filteredBytes(png_uint_32 width, png_uint_32 height, int channels, int bitDepth, int interlaceType)
{
    auto passBytes = [&](uint64_t columns, uint64_t rows) {
        return columns == 0 ? 0 : rows * (1 + (columns * channels * bitDepth + 7) / 8);
    };
    if (interlaceType != PNG_INTERLACE_ADAM7)
        return passBytes(width, height);
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass)
        total += passBytes(PNG_PASS_COLS(width, pass), PNG_PASS_ROWS(height, pass));
    return total;
}

// The picture size in the header chunk, read ahead of libpng so that a refused size is
// reported as such. Returns false when the data does not begin with a PNG signature and
// header chunk; libpng then finds what is wrong.
bool peekSize(const uint8_t* data, size_t size, png_uint_32& width, png_uint_32& height)
{
    if (size < 24 || png_sig_cmp(data, 0, 8) != 0 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    width = png_get_uint_32(data + 16);
    height = png_get_uint_32(data + 20);
    return true;
}

// One read's inputs and what it took from the budget, owned by DecodePng.
struct PngRead {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
    ImageBudget* budget = nullptr;
    long long taken = 0;
};

// libpng's reader over the bytes: a read past their end is an error, as at a file's end.
void readBytes(png_structp png, png_bytep out, size_t count)
{
    PngRead& read = *static_cast<PngRead*>(png_get_io_ptr(png));
    if (count > read.size - read.offset)
        png_error(png, "Read Error");
    std::memcpy(out, read.data + read.offset, count);
    read.offset += count;
}

// Reads the picture into image. libpng errors jump back here and end the read; image then
// holds what was decoded so far. image and read belong to the caller, so nothing modified
// after the jump point is a local of this function.
void readPng(png_structp png, png_infop info, PngRead& read, DecodedImage& image)
{
    png_uint_32 declaredWidth = 0;
    png_uint_32 declaredHeight = 0;
    if (peekSize(read.data, read.size, declaredWidth, declaredHeight) &&
        !CheckPictureSize(declaredWidth, declaredHeight, image))
        return;

    if (setjmp(png_jmpbuf(png)))
        return;
    png_set_read_fn(png, &read, readBytes);
    png_set_sig_bytes(png, 0);
    png_set_user_limits(png, MaxImageSide, MaxImageSide);
    png_set_chunk_cache_max(png, MaxCachedChunks);
    png_set_chunk_malloc_max(png, MaxChunkBytes);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, IgnoredChunks, sizeof IgnoredChunks / 5);
    png_read_info(png, info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlaceType = 0;
    // libpng's user limits held the size read ahead.
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlaceType, nullptr, nullptr);
    // A header the file could never fill is refused before its picture is allocated; a
    // genuine file cut short still fits and keeps the rows it holds.
    if (filteredBytes(width, height, png_get_channels(png, info), bitDepth, interlaceType) >
        MaxInflation * uint64_t(read.size)) {
        image.refusal = BeyondDataRefusal(width, height, static_cast<long long>(read.size));
        return;
    }
    const size_t rowBytes = size_t(width) * 4;
    // The file's bytes are held while it decodes; libpng's own buffers are a row or two.
    if (!TakePictureMemory(TexturePictureCost(width, height, 4, static_cast<long long>(read.size)), read.budget, image))
        return;
    read.taken = image.cost.total();
    if (!AllocateZeroed(image.pixels, rowBytes * height))
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

DecodedImage DecodePng(const uint8_t* data, size_t size, ImageBudget* budget)
{
    DecodedImage image;
    PngRead read;
    read.data = data;
    read.size = data ? size : 0;
    read.budget = budget;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return image;
    png_set_mem_fn(png, nullptr, cappedAllocate, release);
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return image;
    }
    readPng(png, info, read, image);
    png_destroy_read_struct(&png, &info, nullptr);

    if (image.width == 0) {
        // Nothing is kept, so nothing is counted.
        if (budget)
            budget->giveBack(read.taken);
        DecodedImage failed;
        failed.refusal = std::move(image.refusal);
        return failed;
    }
    return image;
}

DecodedImage DecodePng(const std::string& path, ImageBudget* budget, const DataFolder& folder)
{
    DecodedImage image;
    std::vector<uint8_t> bytes;
    if (!ReadImageFile(path, image, bytes, folder))
        return image;
    return DecodePng(bytes.data(), bytes.size(), budget);
}

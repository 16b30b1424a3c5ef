#include "image/png_encoder.h"

#include <png.h>

#include <csetjmp>

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

void keepError(png_structp png, png_const_charp text)
{
    *static_cast<std::string*>(png_get_error_ptr(png)) = text;
    png_longjmp(png, 1);
}

void dropWarning(png_structp, png_const_charp) {}

// The libpng calls after set-up, apart so that no C++ object with a destructor lives
// across the library's error jump. False when libpng failed.
bool writeRows(png_structp png, png_infop info, const PngPicture& picture, PngCompression compression)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 picture.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (compression == PngCompression::Fast) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_set_compression_level(png, 1);
    }
    png_write_info(png, info);
    const size_t stride = size_t(picture.width) * size_t(picture.channels);
    for (int i = 0; i < picture.height; ++i) {
        const int row = picture.bottomRowFirst ? picture.height - 1 - i : i;
        png_write_row(png, picture.pixels + stride * size_t(row));
    }
    png_write_end(png, nullptr);
    return true;
}

// Creates the libpng writer (reporting into message when given), lets `output` point it at
// its destination and writes the picture. False when libpng failed.
template <typename Output>
bool encode(const PngPicture& picture, PngCompression compression, std::string* message, Output output)
{
    png_structp png = message ? png_create_write_struct(PNG_LIBPNG_VER_STRING, message, keepError, dropWarning)
                              : png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        if (message)
            *message = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    bool ok = info != nullptr;
    if (ok) {
        output(png);
        ok = writeRows(png, info, picture, compression);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok;
}

} // namespace

bool WritePng(std::FILE* file, const PngPicture& picture, PngCompression compression, std::string* message)
{
    return encode(picture, compression, message, [file](png_structp png) { png_init_io(png, file); });
}

std::string EncodePng(const PngPicture& picture, PngCompression compression)
{
    std::string out;
    const bool ok = encode(picture, compression, nullptr,
                           [&out](png_structp png) { png_set_write_fn(png, &out, appendBytes, flushNothing); });
    return ok ? out : std::string();
}

#include "png_bytes.h"

#include <png.h>
#include <webp/decode.h>

#include <csetjmp>
#include <vector>

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

// PNG bytes of rows top first, each `channels` bytes per pixel (3: RGB, 4: RGBA).
std::string encodePng(int width, int height, int channels, const unsigned char* pixels)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(pixels + size_t(y) * size_t(width) * size_t(channels)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

std::string solidPng(unsigned char r, unsigned char g, unsigned char b)
{
    constexpr int side = 8;
    std::vector<unsigned char> pixels(side * side * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
    return encodePng(side, side, 3, pixels.data());
}

std::string rgbaPng(int width, int height, const unsigned char* rgba)
{
    return encodePng(width, height, 4, rgba);
}

std::string webpAsPng(const unsigned char* data, size_t size, int maxSide)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(data, size, &width, &height) || width <= 0 || height <= 0 || width > maxSide || height > maxSide)
        return {};
    uint8_t* rgba = WebPDecodeRGBA(data, size, &width, &height);
    if (!rgba)
        return {};
    std::string png = encodePng(width, height, 4, rgba);
    WebPFree(rgba);
    return png;
}

#include "png_bytes.h"

#include "image/png_encoder.h"

#include <webp/decode.h>

#include <vector>

namespace {

// PNG bytes of rows top first, each `channels` bytes per pixel (3: RGB, 4: RGBA).
std::string encodePng(int width, int height, int channels, const unsigned char* pixels)
{
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.channels = channels;
    picture.pixels = pixels;
    return EncodePng(picture, PngCompression::Standard);
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

std::string rgbPng(int width, int height, const unsigned char* rgb)
{
    return encodePng(width, height, 3, rgb);
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

#include "wrap_bake.h"

#include "image/decoded_image.h"
#include "image/jpeg_decoder.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

namespace gltf_import {

namespace {

struct PngSource {
    const unsigned char* data;
    size_t size;
    size_t at;
};

void readPngBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->at)
        png_error(png, "cut short");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

// PNG bytes as 8-bit RGB or RGBA, palette and grey expanded, no gamma applied: the pixels
// the file holds, which the player's own decoder brightens when it draws them.
bool decodePng(const std::string& bytes, int maxSide, RawPicture& picture, std::string& problem)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        problem = "libpng could not start";
        return false;
    }
    PngSource source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        problem = "a PNG picture that does not decode, or is too large";
        return false;
    }
    png_set_read_fn(png, &source, readPngBytes);
    png_set_user_limits(png, png_uint_32(maxSide), png_uint_32(maxSide));
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    picture.width = int(png_get_image_width(png, info));
    picture.height = int(png_get_image_height(png, info));
    picture.channels = png_get_channels(png, info) == 4 ? 4 : 3;
    if (png_get_channels(png, info) != png_byte(picture.channels) ||
        !ImageSizeAllowed(uint32_t(picture.width), uint32_t(picture.height)) ||
        !AllocateZeroed(picture.pixels, size_t(picture.width) * size_t(picture.height) * size_t(picture.channels)))
        png_error(png, "too large");
    rows.resize(size_t(picture.height));
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = picture.pixels.data() + y * size_t(picture.width) * size_t(picture.channels);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

double srgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double linearToSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

} // namespace

Wrap WrapOf(int glValue)
{
    if (glValue == 33071)
        return Wrap::ClampToEdge;
    if (glValue == 33648)
        return Wrap::MirroredRepeat;
    return Wrap::Repeat;
}

bool DecodeRawPicture(const std::string& bytes, int maxSide, RawPicture& picture, std::string& problem)
{
    picture = RawPicture();
    if (bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8) {
        // The player's JPEG decoder gives blue, green, red: turned back to red, green, blue.
        DecodedImage image = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        if (image.empty() || image.width > maxSide || image.height > maxSide) {
            problem = image.refusal.empty() ? "a JPEG picture that does not decode" : image.refusal;
            return false;
        }
        picture.width = image.width;
        picture.height = image.height;
        picture.pixels = std::move(image.pixels);
        for (size_t i = 0; i + 2 < picture.pixels.size(); i += 3)
            std::swap(picture.pixels[i], picture.pixels[i + 2]);
        return true;
    }
    return decodePng(bytes, maxSide, picture, problem);
}

int AxisBake::source(int i) const
{
    if (mirrored)
        return i < sourceSize ? i : 2 * sourceSize - 1 - i;
    return std::clamp(first + i, 0, sourceSize - 1);
}

double AxisBake::coordinate(double c) const
{
    return (c * sourceSize - first) / size;
}

bool PlanAxis(Wrap wrap, int sourceSize, double low, double high, int maxTimes, int maxSide, AxisBake& axis)
{
    axis = AxisBake();
    axis.sourceSize = axis.size = sourceSize;
    if (wrap == Wrap::MirroredRepeat) {
        if (2 * sourceSize > maxSide)
            return false;
        axis.mirrored = true;
        axis.size = 2 * sourceSize;
        return true;
    }
    // Coordinates within a millionth of a pixel of the edge (rounding left by a texture
    // transform) are taken as on it.
    const double slack = 1e-6;
    if (wrap != Wrap::ClampToEdge || !(low * sourceSize < -slack || high * sourceSize > sourceSize + slack))
        return true;
    const double from = std::min(0.0, std::floor(low * sourceSize + slack));
    const double to = std::max(double(sourceSize), std::ceil(high * sourceSize - slack));
    if (!(to - from <= double(maxTimes) * sourceSize) || to - from > maxSide)
        return false;
    axis.first = int(from);
    axis.size = int(to - from);
    return true;
}

RawPicture BakePicture(const RawPicture& source, const AxisBake& s, const AxisBake& t)
{
    RawPicture baked;
    baked.width = s.size;
    baked.height = t.size;
    baked.channels = source.channels;
    const size_t pixel = size_t(source.channels);
    if (!ImageSizeAllowed(uint32_t(baked.width), uint32_t(baked.height)) ||
        !AllocateZeroed(baked.pixels, size_t(baked.width) * size_t(baked.height) * pixel))
        return RawPicture();
    for (int y = 0; y < baked.height; ++y) {
        const unsigned char* row = source.pixels.data() + size_t(t.source(y)) * size_t(source.width) * pixel;
        unsigned char* out = baked.pixels.data() + size_t(y) * size_t(baked.width) * pixel;
        for (int x = 0; x < baked.width; ++x)
            std::memcpy(out + size_t(x) * pixel, row + size_t(s.source(x)) * pixel, pixel);
    }
    return baked;
}

void TintPicture(RawPicture& picture, const std::array<double, 3>& factor)
{
    unsigned char table[3][256];
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            table[c][v] = static_cast<unsigned char>(
                std::lround(linearToSrgb(srgbToLinear(v / 255.0) * std::clamp(factor[size_t(c)], 0.0, 1.0)) * 255));
    const size_t pixel = size_t(picture.channels);
    for (size_t i = 0; i + 2 < picture.pixels.size(); i += pixel)
        for (size_t c = 0; c < 3; ++c)
            picture.pixels[i + c] = table[c][picture.pixels[i + c]];
}

} // namespace gltf_import

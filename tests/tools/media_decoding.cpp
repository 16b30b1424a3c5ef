#include "media_decoding.h"

#include <mpg123.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

DecodedImage decodePng(const std::string& path)
{
    DecodedImage image;
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        return image;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return image;
    }
    image.width = int(png.width);
    image.height = int(png.height);
    image.channels = 4;
    image.pixels = std::move(pixels);
    return image;
}

DecodedImage decodeJpeg(const std::string& path)
{
    DecodedImage image;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return image;
    }
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    image.width = int(cinfo.output_width);
    image.height = int(cinfo.output_height);
    image.channels = 3;
    image.pixels.resize(size_t(image.width) * size_t(image.height) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.pixels.data() + size_t(cinfo.output_scanline) * image.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return image;
}

namespace {

uint32_t little32(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

} // namespace

DecodedImage decodeBmp(const std::string& path)
{
    DecodedImage image;
    std::string bytes = readFile(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        return image;
    }
    uint32_t offset = little32(bytes, 10);
    int width = int(little32(bytes, 18));
    int height = int(little32(bytes, 22));
    int bits = uint8_t(bytes[28]) | uint8_t(bytes[29]) << 8;
    uint32_t compression = little32(bytes, 30);
    size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (bits != 24 || compression != 0 || width <= 0 || height <= 0 ||
        offset + stride * size_t(height) > bytes.size()) {
        return image;
    }
    image.width = width;
    image.height = height;
    image.channels = 3;
    image.pixels.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom up, pixels as blue, green, red.
        const char* row = bytes.data() + offset + stride * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint8_t* out = image.pixels.data() + (size_t(y) * width + x) * 3;
            out[0] = uint8_t(row[x * 3 + 2]);
            out[1] = uint8_t(row[x * 3 + 1]);
            out[2] = uint8_t(row[x * 3]);
        }
    }
    return image;
}

DecodedSound decodeMp3(const std::string& path)
{
    DecodedSound sound;
    mpg123_init();
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) {
        return sound;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(handle, path.c_str()) != MPG123_OK ||
        mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
        mpg123_delete(handle);
        return sound;
    }
    mpg123_format_none(handle);
    mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);
    std::vector<unsigned char> buffer(65536);
    std::vector<int16_t> samples;
    for (;;) {
        size_t done = 0;
        int result = mpg123_read(handle, buffer.data(), buffer.size(), &done);
        size_t old = samples.size();
        samples.resize(old + done / 2);
        std::memcpy(samples.data() + old, buffer.data(), done - done % 2);
        if (result == MPG123_DONE) {
            break;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            mpg123_close(handle);
            mpg123_delete(handle);
            return sound;
        }
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    sound.rate = rate;
    sound.channels = channels;
    sound.samples = std::move(samples);
    return sound;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#include "image_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace fs = std::filesystem;

std::string sharedTestData()
{
    std::error_code error;
    if (fs::is_directory(TALDREX_SHARED_TESTDATA, error))
        return TALDREX_SHARED_TESTDATA;
    for (fs::path folder = fs::absolute(TALDREX_SOURCE_DIR); folder.has_relative_path(); folder = folder.parent_path()) {
        fs::path candidate = folder / "shared" / "testdata";
        if (fs::is_directory(candidate, error))
            return candidate.string();
    }
    return TALDREX_SHARED_TESTDATA;
}

TempFolder::TempFolder(const std::string& name)
{
    fs::path folder = fs::temp_directory_path() / ("taldrex-image-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    folder_ = folder.string();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void writePng(const std::string& path, int width, int height, int colourType, int bitDepth,
    const std::vector<std::vector<uint8_t>>& rows, const PngOptions& options)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bitDepth, colourType,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < options.palette.size(); i += 3)
        palette.push_back({options.palette[i], options.palette[i + 1], options.palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!options.paletteAlpha.empty())
        png_set_tRNS(png, info, options.paletteAlpha.data(), static_cast<int>(options.paletteAlpha.size()), nullptr);
    if (options.fileGamma > 0)
        png_set_gAMA(png, info, options.fileGamma);
    if (options.storedOnly) {
        png_set_compression_level(png, 0);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const auto& row : rows)
        pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

namespace {

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void putBigEndian32(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

} // namespace

void patchPngSize(const std::string& path, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> bytes = readAll(path);
    // Signature (8), IHDR length and type (8), then width and height; the checksum
    // covers the type and the 13 data bytes.
    ASSERT_GE(bytes.size(), 33u);
    putBigEndian32(&bytes[16], width);
    putBigEndian32(&bytes[20], height);
    putBigEndian32(&bytes[29], static_cast<uint32_t>(crc32(0, &bytes[12], 17)));
    writeAll(path, bytes);
}

void writeJpeg(const std::string& path, int width, int height, int components, int inputSpace, int fileSpace,
    const std::vector<uint8_t>& samples)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = static_cast<J_COLOR_SPACE>(inputSpace);
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, static_cast<J_COLOR_SPACE>(fileSpace));
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(info.next_scanline) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void patchJpegSize(const std::string& path, uint16_t width, uint16_t height)
{
    std::vector<uint8_t> bytes = readAll(path);
    // The baseline frame header: FF C0, length (2), precision (1), height (2), width (2).
    for (size_t i = 2; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            writeAll(path, bytes);
            return;
        }
    }
    FAIL() << "no frame header in " << path;
}

int gammaCorrected(double v)
{
    return static_cast<int>(std::floor(255.0 * std::pow(v / 255.0, 1.0 / 1.1) + 0.5));
}

std::vector<uint8_t> solidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {r, g, b});
    return pixels;
}

// Hostile image files: tiny files that declare huge pictures, and a progressive JPEG of
// many empty scans. Built in memory; the tests write them where they need them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

namespace bombs {

inline void appendBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift & 0xFF);
}

inline void appendChunk(std::string& out, const char* type, const std::string& data)
{
    appendBigEndian(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    appendBigEndian(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// A PNG declaring width x height pixels (8-bit RGB unless told): chunks (whole, before
// the image data), then the image data as inflated bytes (filter bytes included).
inline std::string pngFile(uint32_t width, uint32_t height, const std::string& chunks, const std::vector<Bytef>& data,
                           char bitDepth = 8, char colourType = 2)
{
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string{bitDepth, colourType, 0, 0, 0};
    appendChunk(png, "IHDR", header);
    png += chunks;
    std::vector<Bytef> packed(compressBound(uLong(data.size())));
    uLongf packedSize = uLongf(packed.size());
    compress2(packed.data(), &packedSize, data.data(), uLong(data.size()), 9);
    appendChunk(png, "IDAT", std::string(reinterpret_cast<char*>(packed.data()), packedSize));
    appendChunk(png, "IEND", "");
    return png;
}

// A valid PNG header declaring width x height pixels, followed by two bytes of image
// data: 67 bytes however large the declared picture.
inline std::string pngDeclaring(uint32_t width, uint32_t height)
{
    return pngFile(width, height, "", {0, 0});
}

// A genuine one-bit grey PNG of side x side black pixels: some 33 KB at 16384 x 16384,
// inflating to 32 MiB of rows and decoding to a GiB of pixels.
inline std::string oneBitPng(uint32_t side)
{
    const std::vector<Bytef> rows(size_t(side / 8 + 1) * side, 0);
    return pngFile(side, side, "", rows, 1, 0);
}

// A 1 x 1 PNG carrying texts compressed text chunks, each some 8 KB inflating to 7.9 MB.
inline std::string pngWithTexts(int texts)
{
    const std::vector<Bytef> zeros(7900000, 0);
    std::vector<Bytef> packed(compressBound(uLong(zeros.size())));
    uLongf packedSize = uLongf(packed.size());
    compress2(packed.data(), &packedSize, zeros.data(), uLong(zeros.size()), 9);
    const std::string text = std::string("k\0\0", 3) + std::string(reinterpret_cast<char*>(packed.data()), packedSize);
    std::string chunks;
    for (int i = 0; i < texts; ++i)
        appendChunk(chunks, "zTXt", text);
    return pngFile(1, 1, chunks, {0, 10, 20, 30});
}

// A JPEG of width x height flat grey pixels with the given progression (baseline when
// progressive is false).
inline std::string flatJpeg(int width, int height, int components, bool progressive)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * components, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string jpeg(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return jpeg;
}

// An 8 x 8 colour JPEG whose frame header declares width x height: some 630 bytes
// (some 520 progressive).
inline std::string jpegDeclaring(uint16_t width, uint16_t height, bool progressive = false)
{
    std::string jpeg = flatJpeg(8, 8, 3, progressive);
    const size_t frame = jpeg.find(progressive ? "\xFF\xC2" : "\xFF\xC0");
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height & 0xFF);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width & 0xFF);
    return jpeg;
}

// The start-of-scan markers in a JPEG built here (its scans hold no 0xFF 0xDA).
inline int scansIn(const std::string& jpeg)
{
    int scans = 0;
    for (size_t at = jpeg.find("\xFF\xDA"); at != std::string::npos; at = jpeg.find("\xFF\xDA", at + 2))
        ++scans;
    return scans;
}

// A progressive side x side grey JPEG (side at most 1448, so that one end-of-band run
// covers every block) followed by extra empty AC refinement scans: each some 12 bytes,
// each a pass over every block of the picture for the decoder.
inline std::string progressiveWithExtraScans(int side, int extra)
{
    std::string jpeg = flatJpeg(side, side, 1, true);
    jpeg.resize(jpeg.size() - 2); // the end-of-image marker, put back after the scans
    // AC table 0 with one 1-bit code, symbol 0xE0: a run of 2^14 + (14 bits) empty blocks.
    jpeg += std::string("\xFF\xC4\x00\x14\x10\x01", 6) + std::string(15, '\0') + "\xE0";
    const int blocks = ((side + 7) / 8) * ((side + 7) / 8);
    const int run = blocks > 16384 ? blocks - 16384 : 0;
    const uint32_t bits = uint32_t(run) << 1 | 1; // code 0, 14 run bits, a 1 of padding
    for (int i = 0; i < extra; ++i) {
        jpeg += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x01\x3F\x10", 10);
        jpeg += char(bits >> 8);
        jpeg += char(bits & 0xFF);
        if ((bits & 0xFF) == 0xFF)
            jpeg += '\0';
    }
    return jpeg + "\xFF\xD9";
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace bombs

#include "image_files.h"

#include "image/png_encoder.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool openForWriting(const std::string& path, File& file, std::string& error)
{
    file.reset(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = path + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Closes the file and reports whether every write reached it.
bool finish(const std::string& path, File& file, std::string& error)
{
    bool failed = std::ferror(file.get()) != 0;
    failed = std::fclose(file.release()) != 0 || failed;
    if (failed) {
        error = path + ": write failed";
    }
    return !failed;
}

} // namespace

bool writePng(const std::string& path, const Canvas& canvas, bool withAlpha, std::string& error)
{
    File file;
    if (!openForWriting(path, file, error)) {
        return false;
    }
    std::vector<uint8_t> data = withAlpha ? canvas.rgba8() : canvas.rgb8();
    PngPicture picture;
    picture.width = canvas.width();
    picture.height = canvas.height();
    picture.channels = withAlpha ? 4 : 3;
    picture.pixels = data.data();
    std::string message;
    if (!WritePng(file.get(), picture, PngCompression::Standard, &message)) {
        error = path + ": " + message;
        return false;
    }
    return finish(path, file, error);
}

namespace {

// The JPEG library reports errors by calling error_exit, which must not return: it jumps
// back to writeJpegRows with the library's message.
struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegError(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// The libjpeg part of writeJpeg, apart so that no C++ object with a destructor lives
// across the library's error jump.
bool writeJpegRows(FILE* file, int width, int height, int quality, const uint8_t* data,
                   std::string& message)
{
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegError;
    errors.manager.emit_message = jpegSilence;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        message = errors.message;
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    // No chroma subsampling: thin coloured lines and lettering keep their colour.
    for (int c = 0; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    size_t stride = size_t(width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(data) + size_t(cinfo.next_scanline) * stride;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool writeJpeg(const std::string& path, const Canvas& canvas, int quality, std::string& error)
{
    File file;
    if (!openForWriting(path, file, error)) {
        return false;
    }
    std::vector<uint8_t> data = canvas.rgb8();
    std::string message;
    if (!writeJpegRows(file.get(), canvas.width(), canvas.height(), quality, data.data(),
                       message)) {
        error = path + ": " + message;
        return false;
    }
    return finish(path, file, error);
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xffffu);
    put16(out, v >> 16);
}

} // namespace

bool writeBmp(const std::string& path, const Canvas& canvas, std::string& error)
{
    uint32_t width = uint32_t(canvas.width());
    uint32_t height = uint32_t(canvas.height());
    uint32_t stride = (width * 3 + 3) & ~3u;
    uint32_t imageSize = stride * height;
    std::vector<uint8_t> out;
    out.reserve(54 + imageSize);
    // File header, then the 40-byte information header.
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + imageSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, imageSize);
    put32(out, 2835); // 72 dots per inch
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    std::vector<uint8_t> rgb = canvas.rgb8();
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* src = rgb.data() + size_t(height - 1 - row) * width * 3;
        for (uint32_t x = 0; x < width; ++x) {
            out.push_back(src[x * 3 + 2]);
            out.push_back(src[x * 3 + 1]);
            out.push_back(src[x * 3]);
        }
        for (uint32_t pad = width * 3; pad < stride; ++pad) {
            out.push_back(0);
        }
    }

    File file;
    if (!openForWriting(path, file, error)) {
        return false;
    }
    std::fwrite(out.data(), 1, out.size(), file.get());
    return finish(path, file, error);
}

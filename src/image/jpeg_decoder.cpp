#include "image/jpeg_decoder.h"

#include "common/file_path.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

// Everything one decode owns. It lives in DecodeJpeg's frame, outside the function that
// sets the jump point, so that a library error jumping back skips no destructor and
// leaves nothing indeterminate; DecodeJpeg releases it on every path.
struct JpegDecode {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
    std::vector<uint8_t> cmykRow;
};

// The library's default error exit ends the process; ours returns to the jump point.
[[noreturn]] void failDecode(j_common_ptr info)
{
    auto* decode = static_cast<JpegDecode*>(info->client_data);
    std::longjmp(decode->jump, 1);
}

// Damaged data the library can still decode is not reported: loading shows no messages.
void ignoreMessage(j_common_ptr) {}

// Adobe writers store CMYK inverted (255 = no ink); libjpeg hands the values over as
// stored. Without the Adobe marker the values are taken as plain ink amounts.
void cmykToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

// Runs the decode. Returns false on any library error or refused picture.
bool readJpeg(JpegDecode& decode, FILE* file, DecodedImage& image)
{
    jpeg_decompress_struct& info = decode.info;
    if (setjmp(decode.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);

    if (!imageSizeAllowed(info.image_width, info.image_height))
        return false;
    bool cmyk = false;
    switch (info.num_components) {
    case 1:
    case 3:
        info.out_color_space = JCS_EXT_BGR;
        break;
    case 4:
        if (info.jpeg_color_space != JCS_CMYK && info.jpeg_color_space != JCS_YCCK)
            return false;
        info.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        return false;
    }

    const int width = static_cast<int>(info.image_width);
    const int height = static_cast<int>(info.image_height);
    if (!allocateZeroed(image.pixels, size_t(width) * height * 3))
        return false;
    if (cmyk && !allocateZeroed(decode.cmykRow, size_t(width) * 4))
        return false;
    jpeg_start_decompress(&info);
    if (int(info.output_width) != width || int(info.output_height) != height)
        return false;

    while (info.output_scanline < info.output_height) {
        uint8_t* out = image.pixels.data() + size_t(info.output_scanline) * width * 3;
        JSAMPROW row = cmyk ? decode.cmykRow.data() : out;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
        if (cmyk)
            cmykToBgr(row, out, width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    image.width = width;
    image.height = height;
    return true;
}

} // namespace

DecodedImage DecodeJpeg(const std::string& path)
{
    DecodedImage image;
    FILE* file = std::fopen(resolveDataPath(path).c_str(), "rb");
    if (!file)
        return image;

    JpegDecode decode;
    decode.info.err = jpeg_std_error(&decode.errors);
    decode.errors.error_exit = failDecode;
    decode.errors.output_message = ignoreMessage;
    // The error exit finds the jump point through client_data, which creation keeps.
    decode.info.client_data = &decode;
    bool ok = readJpeg(decode, file, image);
    // Safe also when creation failed: the zeroed record has no memory manager to release.
    jpeg_destroy_decompress(&decode.info);
    std::fclose(file);

    if (!ok)
        return DecodedImage();
    image.complete = true;
    return image;
}

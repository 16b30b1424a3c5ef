#include "image/jpeg_decoder.h"

#include "image/image_limits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// The library's working memory: a multi-scan (progressive) file keeps every coefficient
// of the picture, two bytes a sample, before the first row comes out, and a few hundred
// bytes of scans can declare them all. It may take what a genuine file's data can
// plausibly expand to (a thousand times its size, as deflate's limit), and never less
// than a picture of some 4096 x 4096 pixels needs.
constexpr long long WorkingMemoryPerFileByte = 1032;
constexpr long long MinWorkingMemory = 64LL << 20;

// Everything one decode owns. It lives in DecodeJpeg's frame, outside the function that
// sets the jump point, so that a library error jumping back skips no destructor and
// leaves nothing indeterminate; DecodeJpeg releases it on every path.
struct JpegDecode {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    std::vector<uint8_t> cmykRow;
    long long fileBytes = 0;
    ImageBudget* budget = nullptr;
    long long taken = 0;
    // Set by a warning that data was missing or corrupt: the library filled in for it.
    bool damaged = false;
};

// The library's default error exit ends the process; ours returns to the jump point.
[[noreturn]] void failDecode(j_common_ptr info)
{
    auto* decode = static_cast<JpegDecode*>(info->client_data);
    std::longjmp(decode->jump, 1);
}

// Nothing is printed: loading shows no messages.
void ignoreMessage(j_common_ptr) {}

// Warnings (level -1) that mean part of the picture is the library's filler, not the
// file's data; the others (extra bytes between markers, unusual headers) lose nothing.
void noteMessage(j_common_ptr info, int level)
{
    if (level != -1)
        return;
    switch (info->err->msg_code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        static_cast<JpegDecode*>(info->client_data)->damaged = true;
        break;
    default:
        break;
    }
}

// The library calls this as it reads; it counts the scans itself, as its documentation
// advises for files from unknown sources. countScans already refused files with too
// many, cheaply; this holds the limit wherever the two might read a file differently.
void watchScans(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > MaxJpegScans)
        failDecode(info);
}

// The start-of-scan markers of the data, found as the library finds markers (a 0xFF and
// a code other than 0 after any fill bytes; segments skipped by their length), counted
// up to MaxJpegScans + 1. Each scan passes over the whole picture, so this is counted
// before decoding.
int countScans(const uint8_t* data, size_t size)
{
    size_t at = 0;
    auto next = [&]() { return at < size ? int(data[at++]) : EOF; };
    int scans = 0;
    for (;;) {
        int code = next();
        while (code != 0xFF && code != EOF)
            code = next();
        do
            code = next();
        while (code == 0xFF);
        if (code == EOF || code == 0xD9)
            break;
        // Stuffed zeros, restart markers, TEM and SOI carry no length.
        if (code == 0 || code == 0x01 || (code >= 0xD0 && code <= 0xD8))
            continue;
        const int high = next();
        const int low = next();
        if (low == EOF || (high << 8 | low) < 2)
            break;
        if (code == 0xDA && ++scans > MaxJpegScans)
            break;
        at += size_t((high << 8 | low) - 2);
    }
    return scans;
}

std::string scanRefusal()
{
    return "holds more than " + std::to_string(MaxJpegScans) + " scans";
}

// The blocks the first scan codes: in a sequential Huffman-coded file every one of them
// takes at least two bits (a DC code and an end-of-block code).
long long firstScanBlocks(const jpeg_decompress_struct& info)
{
    long long blocks = 0;
    for (int i = 0; i < info.comps_in_scan; ++i)
        blocks += static_cast<long long>(info.cur_comp_info[i]->width_in_blocks) *
            info.cur_comp_info[i]->height_in_blocks;
    return blocks;
}

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

// What the library keeps of a multi-scan file's coefficients while it reads it whole:
// 64 of 2 bytes for each block of each component, up to the working memory it is allowed.
long long coefficientBytes(const jpeg_decompress_struct& info)
{
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)))
        return 0;
    long long bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        bytes += (static_cast<long long>(component.width_in_blocks) + component.h_samp_factor) *
            (static_cast<long long>(component.height_in_blocks) + component.v_samp_factor) *
            static_cast<long long>(sizeof(JBLOCK));
    }
    return std::min(bytes, static_cast<long long>(info.mem->max_memory_to_use));
}

// Runs the decode. Returns false on any library error or refused picture.
bool readJpeg(JpegDecode& decode, const uint8_t* data, size_t size, DecodedImage& image)
{
    jpeg_decompress_struct& info = decode.info;
    if (setjmp(decode.jump)) {
        if (info.input_scan_number > MaxJpegScans)
            image.refusal = scanRefusal();
        else if (decode.errors.msg_code == JERR_NO_BACKING_STORE)
            image.refusal = BeyondDataRefusal(info.image_width, info.image_height, decode.fileBytes);
        return false;
    }
    if (countScans(data, size) > MaxJpegScans) {
        image.refusal = scanRefusal();
        return false;
    }
    jpeg_create_decompress(&info);
    decode.progress.progress_monitor = watchScans;
    info.progress = &decode.progress;
    // Past this the library asks for a backing store, which it does not have, and fails.
    info.mem->max_memory_to_use = static_cast<long>(
        std::max(MinWorkingMemory, WorkingMemoryPerFileByte * decode.fileBytes));
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);

    if (!CheckPictureSize(info.image_width, info.image_height, image))
        return false;
    // A sequential Huffman-coded file smaller than its first scan's blocks need could never
    // fill its picture: the library would make it up, at the full picture's cost.
    if (!info.progressive_mode && !info.arith_code && firstScanBlocks(info) > 4 * decode.fileBytes) {
        image.refusal = BeyondDataRefusal(info.image_width, info.image_height, decode.fileBytes);
        return false;
    }
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
    const long long bytes = static_cast<long long>(width) * height * 3;
    if (!TakePictureMemory(TexturePictureCost(info.image_width, info.image_height, 3,
                                              decode.fileBytes + coefficientBytes(info)),
                           decode.budget, image))
        return false;
    decode.taken = image.cost.total();
    // A multi-scan file is read whole here, within the working memory allowed, before
    // the picture is allocated.
    jpeg_start_decompress(&info);
    if (int(info.output_width) != width || int(info.output_height) != height)
        return false;
    if (!AllocateZeroed(image.pixels, size_t(bytes)))
        return false;
    if (cmyk && !AllocateZeroed(decode.cmykRow, size_t(width) * 4))
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

DecodedImage DecodeJpeg(const uint8_t* data, size_t size, ImageBudget* budget)
{
    DecodedImage image;
    // Nothing to decode, as for an empty file.
    if (!data || size == 0)
        return image;
    JpegDecode decode;
    decode.budget = budget;
    decode.fileBytes = static_cast<long long>(size);

    decode.info.err = jpeg_std_error(&decode.errors);
    decode.errors.error_exit = failDecode;
    decode.errors.output_message = ignoreMessage;
    decode.errors.emit_message = noteMessage;
    // The error exit finds the jump point through client_data, which creation keeps.
    decode.info.client_data = &decode;
    bool ok = readJpeg(decode, data, size, image);
    // Safe also when creation failed: the zeroed record has no memory manager to release.
    jpeg_destroy_decompress(&decode.info);

    if (!ok) {
        // Nothing is kept, so nothing is counted.
        if (budget)
            budget->giveBack(decode.taken);
        DecodedImage failed;
        failed.refusal = std::move(image.refusal);
        return failed;
    }
    image.complete = !decode.damaged;
    return image;
}

DecodedImage DecodeJpeg(const std::string& path, ImageBudget* budget, const DataFolder& folder)
{
    DecodedImage image;
    std::vector<uint8_t> bytes;
    if (!ReadImageFile(path, image, bytes, folder))
        return image;
    return DecodeJpeg(bytes.data(), bytes.size(), budget);
}

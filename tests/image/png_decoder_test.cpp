#include "image/png_decoder.h"

#include "support/allocation_counter.h"
#include "image_files.h"

#include <gtest/gtest.h>

#include <png.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string PngData = sharedTestData() + "/png";

std::vector<std::string> pngFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> suiteFiles()
{
    std::vector<std::string> files = pngFilesIn(PngData);
    std::vector<std::string> more = pngFilesIn(PngData + "/testpngs");
    files.insert(files.end(), more.begin(), more.end());
    return files;
}

// The independent decode: ImageMagick's raw 16-bit RGBA samples, big-endian.
//
// ImageMagick takes a gAMA of 1.0 as linear light and would convert those samples on
// output; relabelling the picture as sRGB keeps every stored sample as it is, which is
// what the decoder starts from, since it replaces any gamma the file declares with its
// fixed pair. tRNS colour keys are applied by both decoders to the stored samples, so the
// comparison holds for every file here, gAMA, sRGB and tRNS ones included. (The 16-bit
// "-tRNS" files of testpngs carry no tRNS chunk at all; they decode fully opaque.)
bool referenceDecode(const std::string& path, size_t samples, std::vector<uint16_t>& out)
{
    std::string command = "convert '" + path + "' -set colorspace sRGB -depth 16 -endian MSB rgba:-";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::vector<uint8_t> raw(samples * 2 + 1);
    size_t got = std::fread(raw.data(), 1, raw.size(), pipe);
    bool ok = pclose(pipe) == 0 && got == samples * 2;
    out.resize(samples);
    for (size_t i = 0; ok && i < samples; ++i)
        out[i] = uint16_t(raw[2 * i] << 8 | raw[2 * i + 1]);
    return ok;
}

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
};

Header readHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    uint8_t bytes[26] = {};
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    auto be32 = [&](int at) { return uint32_t(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]; };
    return {be32(16), be32(20), bytes[24]};
}

// What the decoder should make of one reference sample. Sixteen-bit colour samples are
// gamma-corrected at full precision before they are cut to 8 bits; alpha is never
// corrected. Files of 8 bits or fewer reach ImageMagick's 16 bits as v x 257.
int expectedSample(uint16_t reference, int bitDepth, bool alpha)
{
    if (bitDepth == 16)
        return alpha ? reference >> 8 : gammaCorrected(reference * 255.0 / 65535.0);
    int v = reference / 257;
    return alpha ? v : gammaCorrected(v);
}

class PngSuiteFile : public testing::TestWithParam<std::string> {};

} // namespace

TEST_P(PngSuiteFile, DecodesToTheReferenceThroughTheGammaCurve)
{
    const std::string& path = GetParam();
    Header header = readHeader(path);
    DecodedImage image = DecodePng(path);
    ASSERT_TRUE(image.complete);
    ASSERT_EQ(image.width, int(header.width));
    ASSERT_EQ(image.height, int(header.height));
    ASSERT_EQ(image.pixels.size(), size_t(header.width) * header.height * 4);

    std::vector<uint16_t> reference;
    ASSERT_TRUE(referenceDecode(path, image.pixels.size(), reference)) << "ImageMagick could not read " << path;
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        int difference = std::abs(image.pixels[i] - expectedSample(reference[i], header.bitDepth, i % 4 == 3));
        if (difference > worst) {
            worst = difference;
            worstAt = i;
        }
    }
    EXPECT_LE(worst, 1) << "pixel " << worstAt / 4 << " sample " << worstAt % 4 << ": decoded "
                        << int(image.pixels[worstAt]) << ", reference " << reference[worstAt];
}

INSTANTIATE_TEST_SUITE_P(Suite, PngSuiteFile, testing::ValuesIn(suiteFiles()),
    [](const testing::TestParamInfo<std::string>& info) {
        std::string name = fs::path(info.param).stem().string();
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST(DecodePng, DamagedFilesGiveAnEmptyOrPartialImage)
{
    std::vector<std::string> files = pngFilesIn(PngData + "/crashers");
    ASSERT_GE(files.size(), 20u);
    int partial = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        Header header = readHeader(path);
        DecodedImage image = DecodePng(path);
        if (image.empty()) {
            EXPECT_EQ(image.width, 0);
            EXPECT_EQ(image.height, 0);
            EXPECT_FALSE(image.complete);
            continue;
        }
        EXPECT_EQ(image.width, int(header.width));
        EXPECT_EQ(image.height, int(header.height));
        EXPECT_EQ(image.pixels.size(), size_t(header.width) * header.height * 4);
        partial += image.complete ? 0 : 1;
    }
    // The bad checksum and bad Adler-32 files fail inside the image data.
    EXPECT_GE(partial, 2);
    // The files claiming chunks of a gigabyte or more were refused, not buffered.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "peak memory in kilobytes";
}

TEST(DecodePng, FailurePartWayKeepsTheRowsReadAndClearsTheRest)
{
    TempFolder folder("png-cut");
    // Large enough to span several data chunks, so the cut falls after whole rows.
    const int width = 200, height = 100;
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(std::vector<uint8_t>(width * 3, uint8_t(100 + y)));
    PngOptions stored;
    stored.storedOnly = true;
    std::string path = folder.path("cut.png");
    writePng(path, width, height, PNG_COLOR_TYPE_RGB, 8, rows, stored);
    fs::resize_file(path, fs::file_size(path) / 2);

    DecodedImage image = DecodePng(path);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    EXPECT_FALSE(image.complete);
    int decodedRows = 0;
    while (decodedRows < height && image.pixels[decodedRows * width * 4 + 3] == 255)
        ++decodedRows;
    EXPECT_GT(decodedRows, height / 4);
    EXPECT_LT(decodedRows, height * 3 / 4);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = image.pixels.data() + y * width * 4;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 4;
            if (y < decodedRows) {
                ASSERT_EQ(p[0], gammaCorrected(100 + y)) << y;
                ASSERT_EQ(p[3], 255);
            } else {
                ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0) << "row " << y << " pixel " << x;
            }
        }
    }
}

TEST(DecodePng, ColourSamplesFollowTheFixedCurveWhateverGammaTheFileDeclares)
{
    TempFolder folder("png-gamma");
    std::vector<std::vector<uint8_t>> rows = {{0, 128, 255, 64, 200, 1}};
    PngOptions linear;
    linear.fileGamma = 1.0;
    for (const PngOptions& options : {PngOptions(), linear}) {
        std::string path = folder.path("gamma.png");
        writePng(path, 2, 1, PNG_COLOR_TYPE_RGB, 8, rows, options);
        DecodedImage image = DecodePng(path);
        ASSERT_TRUE(image.complete);
        std::vector<uint8_t> expected = {0, 136, 255, 255, uint8_t(gammaCorrected(64)), uint8_t(gammaCorrected(200)),
            uint8_t(gammaCorrected(1)), 255};
        EXPECT_EQ(image.pixels, expected);
    }
}

TEST(DecodePng, SixteenBitSamplesAreCorrectedBeforeTheyAreCut)
{
    TempFolder folder("png-16");
    std::string path = folder.path("rgb16.png");
    // 0x80FF, 0x0000, 0xFFFF in the first pixel; 0x8000 three times in the second.
    writePng(path, 2, 1, PNG_COLOR_TYPE_RGB, 16, {{0x80, 0xFF, 0, 0, 0xFF, 0xFF, 0x80, 0, 0x80, 0, 0x80, 0}});
    DecodedImage image = DecodePng(path);
    ASSERT_TRUE(image.complete);
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{137, 0, 255, 255, 136, 136, 136, 255}));
}

TEST(DecodePng, PaletteTransparencyGivesThePaletteAlphas)
{
    TempFolder folder("png-palette");
    PngOptions options;
    options.palette = {255, 0, 0, 0, 128, 0, 0, 0, 255};
    std::vector<std::vector<uint8_t>> rows = {{0x1B}}; // 2-bit indices 0, 1, 2, 3: 00 01 10 11
    std::string path = folder.path("palette.png");
    options.palette.insert(options.palette.end(), {10, 20, 30});
    writePng(path, 4, 1, PNG_COLOR_TYPE_PALETTE, 2, rows, options);
    DecodedImage opaque = DecodePng(path);
    ASSERT_TRUE(opaque.complete);
    EXPECT_EQ(opaque.pixels, (std::vector<uint8_t>{255, 0, 0, 255, 0, 136, 0, 255, 0, 0, 255, 255,
        uint8_t(gammaCorrected(10)), uint8_t(gammaCorrected(20)), uint8_t(gammaCorrected(30)), 255}));

    options.paletteAlpha = {0, 128}; // entries beyond the tRNS list stay opaque
    writePng(path, 4, 1, PNG_COLOR_TYPE_PALETTE, 2, rows, options);
    DecodedImage transparent = DecodePng(path);
    ASSERT_TRUE(transparent.complete);
    EXPECT_EQ(transparent.pixels[3], 0);
    EXPECT_EQ(transparent.pixels[7], 128);
    EXPECT_EQ(transparent.pixels[11], 255);
    EXPECT_EQ(transparent.pixels[15], 255);
    EXPECT_EQ(transparent.pixels[5], 136);
}

TEST(DecodePng, MissingFileAndNonPngGiveAnEmptyImage)
{
    TempFolder folder("png-missing");
    EXPECT_TRUE(DecodePng(folder.path("nothing.png")).empty());
    std::ofstream(folder.path("text.png")) << "not a picture";
    DecodedImage image = DecodePng(folder.path("text.png"));
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
}

TEST(DecodePng, ShowPathsFindTheFileIgnoringCase)
{
    TempFolder folder("png-showpath");
    fs::create_directories(folder.path("data"));
    writePng(folder.path("data/logo.png"), 1, 1, PNG_COLOR_TYPE_RGB, 8, {{0, 0, 0}});
    EXPECT_EQ(DecodePng(folder.folder() + "\\Data\\LOGO.png").width, 1);
}

TEST(DecodePng, OversizedHeaderIsRefusedBeforeAnyPictureIsAllocated)
{
    TempFolder folder("png-huge");
    std::string path = folder.path("huge.png");
    const uint32_t sizes[][2] = {{MaxImageSide + 1, 1}, {1, MaxImageSide + 1}, {65536, 65536}, {1000000, 1000000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        writePng(path, 1, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3}});
        patchPngSize(path, size[0], size[1]);
        AllocationTracker tracker;
        DecodedImage image = DecodePng(path);
        EXPECT_TRUE(image.empty());
        EXPECT_EQ(image.width, 0);
        EXPECT_LT(tracker.largest(), size_t(1) << 20);
    }

    // The largest side allowed is still decoded (here until the data runs out).
    writePng(path, 1, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3}});
    patchPngSize(path, MaxImageSide, 1);
    DecodedImage edge = DecodePng(path);
    EXPECT_EQ(edge.width, int(MaxImageSide));
    EXPECT_EQ(edge.height, 1);
}

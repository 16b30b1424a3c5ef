#include "image/jpeg_decoder.h"

#include "support/allocation_counter.h"
#include "image_files.h"

#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

const std::string JpegData = sharedTestData() + "/jpeg";

// The reference decode: a binary PPM (P6, maxval 255), red-green-blue, top row first.
struct Ppm {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

Ppm readPpm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Ppm ppm;
    in >> magic >> ppm.width >> ppm.height >> maxValue;
    in.get();
    ppm.rgb.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(maxValue, 255);
    return ppm;
}

// The largest and the mean difference between a blue-green-red decode and a
// red-green-blue reference.
struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference compare(const DecodedImage& image, const Ppm& reference)
{
    EXPECT_EQ(image.pixels.size(), reference.rgb.size());
    Difference difference;
    long total = 0;
    for (size_t i = 0; i + 2 < image.pixels.size() && i + 2 < reference.rgb.size(); i += 3) {
        for (int c = 0; c < 3; ++c) {
            int d = std::abs(image.pixels[i + c] - reference.rgb[i + 2 - c]);
            difference.largest = std::max(difference.largest, d);
            total += d;
        }
    }
    difference.mean = image.pixels.empty() ? 0 : double(total) / image.pixels.size();
    return difference;
}

} // namespace

TEST(DecodeJpeg, ReferenceImageMatchesItsReferenceDecodeInBlueGreenRedOrder)
{
    Ppm reference = readPpm(JpegData + "/testorig.ppm");
    DecodedImage image = DecodeJpeg(JpegData + "/testorig.jpg");
    ASSERT_TRUE(image.complete);
    ASSERT_EQ(image.width, reference.width);
    ASSERT_EQ(image.height, reference.height);
    // The reference was made by another build of the decoder: its inverse transform and
    // upsampling round a few samples differently.
    Difference difference = compare(image, reference);
    EXPECT_LE(difference.largest, 3);
    EXPECT_LT(difference.mean, 0.3);
}

TEST(DecodeJpeg, ArithmeticCodedFileDecodesLikeItsHuffmanCodedTwin)
{
    // Both files were compressed from the reference picture with the same quantisation,
    // one with arithmetic and one with Huffman coding: the same coefficients.
    DecodedImage arithmetic = DecodeJpeg(JpegData + "/testimgari.jpg");
    DecodedImage huffman = DecodeJpeg(JpegData + "/testimgint.jpg");
    ASSERT_TRUE(arithmetic.complete);
    ASSERT_TRUE(huffman.complete);
    EXPECT_EQ(arithmetic.pixels, huffman.pixels);
    Difference difference = compare(arithmetic, readPpm(JpegData + "/testorig.ppm"));
    EXPECT_LT(difference.mean, 1.0);
}

TEST(DecodeJpeg, TwelveBitFileFailsCleanly)
{
    DecodedImage image = DecodeJpeg(JpegData + "/monkey12.jpg");
    EXPECT_FALSE(image.complete);
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
}

TEST(DecodeJpeg, GreyFileGivesThreeEqualBytes)
{
    TempFolder folder("jpeg-grey");
    std::vector<uint8_t> grey;
    for (int i = 0; i < 16 * 8; ++i)
        grey.push_back(uint8_t(i * 2));
    writeJpeg(folder.path("grey.jpg"), 16, 8, 1, JCS_GRAYSCALE, JCS_GRAYSCALE, grey);
    DecodedImage image = DecodeJpeg(folder.path("grey.jpg"));
    ASSERT_TRUE(image.complete);
    ASSERT_EQ(image.pixels.size(), 16u * 8 * 3);
    for (size_t i = 0; i < grey.size(); ++i) {
        EXPECT_EQ(image.pixels[3 * i], image.pixels[3 * i + 1]);
        EXPECT_EQ(image.pixels[3 * i], image.pixels[3 * i + 2]);
        EXPECT_NEAR(image.pixels[3 * i], grey[i], 2);
    }
}

TEST(DecodeJpeg, CmykAndYcckFilesAreConvertedToColour)
{
    TempFolder folder("jpeg-cmyk");
    // Adobe-style inverted CMYK as libjpeg stores it: 255 is no ink. The four pixel
    // columns are white, pure cyan ink, half-strength black, and magenta + yellow (red).
    std::vector<uint8_t> cmyk;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) {
            static const uint8_t inks[4][4] = {
                {255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 255, 128}, {255, 0, 0, 255}};
            cmyk.insert(cmyk.end(), inks[x / 8], inks[x / 8] + 4);
        }
    for (int fileSpace : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(fileSpace == JCS_CMYK ? "CMYK" : "YCCK");
        writeJpeg(folder.path("ink.jpg"), 32, 8, 4, JCS_CMYK, fileSpace, cmyk);
        DecodedImage image = DecodeJpeg(folder.path("ink.jpg"));
        ASSERT_TRUE(image.complete);
        ASSERT_EQ(image.pixels.size(), 32u * 8 * 3);
        const uint8_t* row = image.pixels.data() + 4 * 32 * 3;
        auto near = [](const uint8_t* bgr, int b, int g, int r) {
            return std::abs(bgr[0] - b) <= 3 && std::abs(bgr[1] - g) <= 3 && std::abs(bgr[2] - r) <= 3;
        };
        EXPECT_TRUE(near(row + 3 * 3, 255, 255, 255));
        EXPECT_TRUE(near(row + 11 * 3, 255, 255, 0));
        EXPECT_TRUE(near(row + 19 * 3, 128, 128, 128));
        EXPECT_TRUE(near(row + 27 * 3, 0, 0, 255));
    }
}

TEST(DecodeJpeg, MissingDamagedAndOtherFilesGiveAnEmptyImage)
{
    TempFolder folder("jpeg-missing");
    EXPECT_TRUE(DecodeJpeg(folder.path("nothing.jpg")).empty());
    std::ofstream(folder.path("text.jpg")) << "not a picture";
    EXPECT_TRUE(DecodeJpeg(folder.path("text.jpg")).empty());
    // A PNG named .jpg is refused, not misread.
    writePng(folder.path("picture.jpg"), 1, 1, 2, 8, {{1, 2, 3}});
    EXPECT_TRUE(DecodeJpeg(folder.path("picture.jpg")).empty());
}

TEST(DecodeJpeg, OversizedHeaderIsRefusedBeforeAnyPictureIsAllocated)
{
    TempFolder folder("jpeg-huge");
    std::string path = folder.path("huge.jpg");
    const uint16_t sizes[][2] = {{MaxImageSide + 1, 8}, {8, MaxImageSide + 1}, {65500, 65500}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        writeJpeg(path, 8, 8, 3, JCS_RGB, JCS_YCbCr, solidRgb(8, 8, 1, 2, 3));
        patchJpegSize(path, size[0], size[1]);
        AllocationTracker tracker;
        DecodedImage image = DecodeJpeg(path);
        EXPECT_TRUE(image.empty());
        EXPECT_LT(tracker.largest(), size_t(1) << 20);
    }
}

// PNG and JPEG files cut short or with a byte changed decode to a well-formed image or to
// nothing, within the memory bound.
#include "damage.h"

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

namespace {

constexpr int copiesPerKind = 200;
constexpr uint32_t sweepSeed = 0x1A9E5EED;

struct ImageFile {
    const char* name; // under the shared test data
    bool png;
};

class ImageDamage : public testing::TestWithParam<ImageFile> {};

TEST_P(ImageDamage, EveryDamagedCopyDecodesWithinTheMemoryBound)
{
    const ImageFile& image = GetParam();
    std::string bytes = readWholeFile(std::string(TALDREX_SHARED_TESTDATA) + "/" + image.name);
    ASSERT_FALSE(bytes.empty()) << image.name;
    const size_t channels = image.png ? 4 : 3;
    ScratchFile file(image.png ? "damaged.png" : "damaged.jpg");
    SweepFigures figures = sweepDamage(bytes, copiesPerKind, sweepSeed, [&](const DamagedCopy& copy) {
        const std::string& path = file.write(copy.bytes);
        DecodedImage decoded = image.png ? DecodePng(path) : DecodeJpeg(path);
        if (decoded.empty()) {
            EXPECT_EQ(decoded.width, 0);
            EXPECT_EQ(decoded.height, 0);
        } else {
            EXPECT_EQ(decoded.pixels.size(), size_t(decoded.width) * decoded.height * channels)
                << (copy.cut ? "cut at " : "byte changed at ") << copy.where;
        }
    });
    EXPECT_EQ(figures.copies, 2 * copiesPerKind);
    EXPECT_LE(figures.largestRise, loadMemoryBound(bytes.size()));
    std::printf("[  figures ] image %s: %zu bytes, %d damaged copies, largest heap rise %zu bytes\n",
                image.name, bytes.size(), figures.copies, figures.largestRise);
}

// Every colour type and the interlaced layout of PNG; Huffman, integer-DCT, arithmetic
// and 12-bit JPEG.
INSTANTIATE_TEST_SUITE_P(
    TestData, ImageDamage,
    testing::Values(ImageFile{"png/basn6a08.png", true}, ImageFile{"png/basn3p04.png", true},
                    ImageFile{"png/basn0g16.png", true}, ImageFile{"png/ibasn2c08.png", true},
                    ImageFile{"png/testpngs/rgb-alpha-16-sRGB.png", true},
                    ImageFile{"png/testpngs/palette-8-sRGB-tRNS.png", true},
                    ImageFile{"jpeg/testorig.jpg", false}, ImageFile{"jpeg/testimgint.jpg", false},
                    ImageFile{"jpeg/testimgari.jpg", false}, ImageFile{"jpeg/monkey12.jpg", false}),
    [](const testing::TestParamInfo<ImageFile>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

} // namespace

// PNG and JPEG files cut short or with a byte changed decode to a well-formed image or to
// nothing, within the memory bound.
#include "damage.h"

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int copiesPerKind = 200;
constexpr uint32_t sweepSeed = 0x1A9E5EED;

struct ImageFile {
    std::string path;
    bool png;
};

// Every colour type and the interlaced layout of PNG; Huffman, integer-DCT, arithmetic
// and 12-bit JPEG; then every picture of the bundled show.
std::vector<ImageFile> sweptImages()
{
    const std::string shared = std::string(TALDREX_SHARED_TESTDATA) + "/";
    std::vector<ImageFile> images;
    for (const char* name : {"png/basn6a08.png", "png/basn3p04.png", "png/basn0g16.png", "png/ibasn2c08.png",
                             "png/testpngs/rgb-alpha-16-sRGB.png", "png/testpngs/palette-8-sRGB-tRNS.png"})
        images.push_back({shared + name, true});
    for (const char* name : {"jpeg/testorig.jpg", "jpeg/testimgint.jpg", "jpeg/testimgari.jpg", "jpeg/monkey12.jpg"})
        images.push_back({shared + name, false});
    for (const std::string& path : bundledShowFiles(".png"))
        images.push_back({path, true});
    for (const std::string& path : bundledShowFiles(".jpg"))
        images.push_back({path, false});
    return images;
}

class ImageDamage : public testing::TestWithParam<ImageFile> {};

TEST_P(ImageDamage, EveryDamagedCopyDecodesWithinTheMemoryBound)
{
    const ImageFile& image = GetParam();
    std::string bytes = readWholeFile(image.path);
    ASSERT_FALSE(bytes.empty()) << image.path;
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
                image.path.c_str(), bytes.size(), figures.copies, figures.largestRise);
}

INSTANTIATE_TEST_SUITE_P(Files, ImageDamage, testing::ValuesIn(sweptImages()),
                         [](const testing::TestParamInfo<ImageFile>& info) {
                             // The folder it comes from and the file name.
                             const std::string& path = info.param.path;
                             size_t slash = path.rfind('/');
                             size_t folder = path.rfind('/', slash - 1);
                             std::string name = path.substr(folder + 1);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include "image_files.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

std::string pixelHash(const DecodedImage& image)
{
    uint64_t fnv = 1469598103934665603ULL;
    for (uint8_t byte : image.pixels) {
        fnv ^= byte;
        fnv *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, fnv);
    return text;
}

} // namespace

// Every PNG and JPEG of the shared test files, damaged ones included, decodes to the same
// size, completeness and pixel bytes as recorded from the decoders before their limits
// were added (fixtures/decoded-testdata.txt: file, width, height, complete, FNV-1a of the
// pixels), from its path and from its bytes in memory alike.
TEST(DecodedTestFiles, GiveTheRecordedPixelsByteForByte)
{
    std::ifstream recorded(std::string(TALDREX_FIXTURES) + "/decoded-testdata.txt");
    ASSERT_TRUE(recorded) << "fixture missing";
    std::string line;
    int files = 0;
    while (std::getline(recorded, line)) {
        std::istringstream fields(line);
        std::string name, hash;
        int width = 0, height = 0, complete = 0;
        fields >> name >> width >> height >> complete >> hash;
        SCOPED_TRACE(name);
        const std::string path = sharedTestData() + "/" + name;
        const bool png = name.size() > 4 && name.substr(name.size() - 4) == ".png";
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty());
        const DecodedImage fromPath = png ? DecodePng(path) : DecodeJpeg(path);
        const DecodedImage fromBytes = png ? DecodePng(bytes.data(), bytes.size()) : DecodeJpeg(bytes.data(), bytes.size());
        for (const DecodedImage* image : {&fromPath, &fromBytes}) {
            SCOPED_TRACE(image == &fromPath ? "from the path" : "from the bytes");
            EXPECT_EQ(image->width, width);
            EXPECT_EQ(image->height, height);
            EXPECT_EQ(int(image->complete), complete);
            EXPECT_EQ(pixelHash(*image), hash);
        }
        EXPECT_EQ(fromPath.refusal, fromBytes.refusal);
        ++files;
    }
    EXPECT_EQ(files, 191);
}

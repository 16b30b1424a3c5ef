#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include "image_files.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

// Every PNG and JPEG of the shared test files, damaged ones included, decodes to the same
// size, completeness and pixel bytes as recorded from the decoders before their limits
// were added (fixtures/decoded-testdata.txt: file, width, height, complete, FNV-1a of the
// pixels).
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
        DecodedImage image = name.size() > 4 && name.substr(name.size() - 4) == ".png" ? DecodePng(path) : DecodeJpeg(path);
        uint64_t fnv = 1469598103934665603ULL;
        for (uint8_t byte : image.pixels) {
            fnv ^= byte;
            fnv *= 1099511628211ULL;
        }
        char text[17];
        std::snprintf(text, sizeof text, "%016" PRIx64, fnv);
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_EQ(int(image.complete), complete);
        EXPECT_EQ(text, hash);
        ++files;
    }
    EXPECT_EQ(files, 191);
}

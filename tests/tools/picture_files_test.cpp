// The canvas, the noise, and the picture writers, read back with the standard decoders.
#include "media_decoding.h"

#include "canvas.h"
#include "image_files.h"
#include "noise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <numeric>

namespace {

std::string tempPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

// A 3 x 2 canvas: opaque red, green, blue on top; half-transparent white, transparent,
// opaque grey below.
Canvas smallCanvas()
{
    Canvas canvas(3, 2);
    canvas.blend(0, 0, rgb(255, 0, 0), 1.0f);
    canvas.blend(1, 0, rgb(0, 255, 0), 1.0f);
    canvas.blend(2, 0, rgb(0, 0, 255), 1.0f);
    canvas.blend(0, 1, rgb(255, 255, 255), 0.5f);
    canvas.blend(2, 1, rgb(128, 128, 128), 1.0f);
    return canvas;
}

} // namespace

TEST(PictureFiles, PngKeepsColourAndAlphaExactly)
{
    std::string path = tempPath("taldrex-canvas-test.png");
    std::string error;
    ASSERT_TRUE(writePng(path, smallCanvas(), true, error)) << error;
    DecodedImage image = decodePng(path);
    std::remove(path.c_str());
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    std::vector<uint8_t> expected = {
        255, 0, 0, 255,    0, 255, 0, 255,  0, 0, 255, 255,
        255, 255, 255, 128, 0, 0, 0, 0,     128, 128, 128, 255,
    };
    EXPECT_EQ(image.pixels, expected);
}

TEST(PictureFiles, BmpStoresPaddedRowsBottomUp)
{
    std::string path = tempPath("taldrex-canvas-test.bmp");
    std::string error;
    ASSERT_TRUE(writeBmp(path, smallCanvas(), error)) << error;
    std::string bytes = readFile(path);
    DecodedImage image = decodeBmp(path);
    std::remove(path.c_str());
    // Rows of 9 bytes padded to 12.
    EXPECT_EQ(bytes.size(), 54u + 12u * 2u);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    // Over black: red, green, blue on top; half white, black, grey below.
    EXPECT_EQ(image.pixels[0], 255);
    EXPECT_EQ(image.pixels[4], 255);
    EXPECT_EQ(image.pixels[8], 255);
    EXPECT_NEAR(image.pixels[9], 128, 1);
    EXPECT_EQ(image.pixels[12], 0);
    EXPECT_NEAR(image.pixels[15], 128, 1);
}

TEST(PictureFiles, JpegKeepsSizeAndFlatColour)
{
    Canvas canvas(40, 24);
    canvas.fill([](float, float) { return rgb(232, 56, 138); });
    std::string path = tempPath("taldrex-canvas-test.jpg");
    std::string error;
    ASSERT_TRUE(writeJpeg(path, canvas, 92, error)) << error;
    DecodedImage image = decodeJpeg(path);
    std::remove(path.c_str());
    ASSERT_EQ(image.width, 40);
    ASSERT_EQ(image.height, 24);
    EXPECT_NEAR(image.pixels[0], 232, 4);
    EXPECT_NEAR(image.pixels[1], 56, 4);
    EXPECT_NEAR(image.pixels[2], 138, 4);
}

TEST(PictureFiles, FilesThatCannotBeWrittenAreErrorsNamingThem)
{
    Canvas canvas(4, 4);
    std::string error;
    EXPECT_FALSE(writePng("/nonexistent-folder/a.png", canvas, true, error));
    EXPECT_NE(error.find("/nonexistent-folder/a.png"), std::string::npos) << error;
    EXPECT_FALSE(writeJpeg("/nonexistent-folder/b.jpg", canvas, 90, error));
    EXPECT_NE(error.find("/nonexistent-folder/b.jpg"), std::string::npos) << error;
    EXPECT_FALSE(writeBmp("/nonexistent-folder/c.bmp", canvas, error));
    EXPECT_NE(error.find("/nonexistent-folder/c.bmp"), std::string::npos) << error;
}

TEST(Canvas, PaintingOutsideIsIgnoredAndLayersComposite)
{
    Canvas canvas(2, 1);
    canvas.blend(-1, 0, rgb(255, 255, 255), 1.0f);
    canvas.blend(2, 0, rgb(255, 255, 255), 1.0f);
    canvas.blend(0, 0, rgb(255, 0, 0), 0.5f);
    canvas.blend(0, 0, rgb(0, 0, 255), 0.5f);
    std::vector<uint8_t> rgba = canvas.rgba8();
    // Two half layers cover three quarters; red and blue share the colour 1 : 2.
    EXPECT_EQ(rgba[3], 191);
    EXPECT_NEAR(rgba[0], 85, 1);
    EXPECT_NEAR(rgba[2], 170, 1);
    EXPECT_EQ(rgba[7], 0);
}

TEST(Canvas, BlurSpreadsCoverageWithoutLosingIt)
{
    Mask mask(41, 41);
    addDisc(mask, 20.5f, 20.5f, 3.0f);
    float before = std::accumulate(mask.values.begin(), mask.values.end(), 0.0f);
    EXPECT_NEAR(before, 3.14159f * 9.0f, 1.0f);
    Mask soft = blurred(mask, 3);
    float after = std::accumulate(soft.values.begin(), soft.values.end(), 0.0f);
    EXPECT_NEAR(after, before, before * 0.01f);
    EXPECT_LT(soft.at(20, 20), mask.at(20, 20));
    EXPECT_GT(soft.at(20, 28), 0.0f);
    EXPECT_EQ(mask.at(20, 28), 0.0f);

    // Rows 22 and 23 of the disc's column are fully and half covered.
    Mask grown = dilated(mask, 2);
    EXPECT_EQ(grown.at(20, 24), 1.0f);
    EXPECT_EQ(grown.at(20, 25), 0.5f);
    EXPECT_EQ(grown.at(20, 26), 0.0f);
}

TEST(Noise, StaysInRangeAndTilesWithItsPeriod)
{
    for (int i = 0; i < 200; ++i) {
        float x = float(i) * 0.37f;
        float y = float(i % 17) * 0.61f;
        float v = valueNoise(x, y, 9);
        EXPECT_GE(v, 0.0f);
        EXPECT_LT(v, 1.0f);
        // Equal up to the rounding of the shifted coordinate.
        EXPECT_NEAR(valueNoise(x, y, 9, 4), valueNoise(x + 4.0f, y, 9, 4), 1e-5f);
        EXPECT_NEAR(valueNoise(x, y, 9, 4), valueNoise(x, y - 8.0f, 9, 4), 1e-5f);
        float f = fractalNoise(x, y, 4, 3, 2);
        EXPECT_NEAR(f, fractalNoise(x + 2.0f, y, 4, 3, 2), 1e-5f);
    }
    EXPECT_NE(valueNoise(0.5f, 0.5f, 1), valueNoise(0.5f, 0.5f, 2));
}

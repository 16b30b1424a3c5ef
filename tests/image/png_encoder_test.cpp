#include "image/png_encoder.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A picture whose neighbouring bytes all differ, so a row or channel out of place shows.
std::vector<unsigned char> pattern(int width, int height, int channels)
{
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * size_t(channels));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 37 + i / 7);
    return pixels;
}

std::vector<unsigned char> upsideDown(const std::vector<unsigned char>& pixels, int width, int height, int channels)
{
    const size_t stride = size_t(width) * size_t(channels);
    std::vector<unsigned char> rows;
    for (int row = height - 1; row >= 0; --row)
        rows.insert(rows.end(), pixels.begin() + long(stride * size_t(row)), pixels.begin() + long(stride * size_t(row + 1)));
    return rows;
}

struct Decoded {
    int width = 0;
    int height = 0;
    bool alpha = false;
    std::vector<unsigned char> pixels; // top row first, in the channels asked for
};

// PNG bytes read back by libpng itself; no pixels when it cannot read them.
Decoded decode(const std::string& bytes, int channels)
{
    Decoded decoded;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return decoded;
    decoded.width = int(image.width);
    decoded.height = int(image.height);
    decoded.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    decoded.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr))
        decoded.pixels.clear();
    return decoded;
}

std::string contents(std::FILE* file)
{
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes.push_back(char(c));
    return bytes;
}

TEST(PngEncoder, EveryLayoutReadsBackAsThePixelsGiven)
{
    struct Case {
        const char* what;
        int width, height, channels;
        bool bottomRowFirst;
        PngCompression compression;
    };
    const Case cases[] = {
        {"RGB rows top first, standard (importer textures, generated pictures)", 5, 3, 3, false, PngCompression::Standard},
        {"RGBA rows top first, standard (generated overlays)", 4, 4, 4, false, PngCompression::Standard},
        {"RGBA rows bottom first, fast (captured frames)", 6, 5, 4, true, PngCompression::Fast},
        {"RGB rows bottom first, fast", 3, 4, 3, true, PngCompression::Fast},
        {"a single row reads the same either way up", 7, 1, 3, true, PngCompression::Standard},
        {"a single pixel", 1, 1, 4, false, PngCompression::Fast},
        {"rows longer than zlib's 32 KiB window", 20000, 2, 3, true, PngCompression::Fast},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> pixels = pattern(c.width, c.height, c.channels);
        PngPicture picture;
        picture.width = c.width;
        picture.height = c.height;
        picture.channels = c.channels;
        picture.pixels = pixels.data();
        picture.bottomRowFirst = c.bottomRowFirst;
        const std::string bytes = EncodePng(picture, c.compression);
        const Decoded decoded = decode(bytes, c.channels);
        EXPECT_EQ(decoded.width, c.width);
        EXPECT_EQ(decoded.height, c.height);
        EXPECT_EQ(decoded.alpha, c.channels == 4);
        EXPECT_EQ(decoded.pixels, c.bottomRowFirst ? upsideDown(pixels, c.width, c.height, c.channels) : pixels);

        // A file gets exactly the bytes made in memory.
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::string message;
        EXPECT_TRUE(WritePng(file, picture, c.compression, &message)) << message;
        EXPECT_EQ(contents(file), bytes);
        std::fclose(file);
    }
}

TEST(PngEncoder, FailuresComeBackAsFailures)
{
    const std::vector<unsigned char> pixels = pattern(4, 4, 4);
    PngPicture picture;
    picture.width = 4;
    picture.height = 4;
    picture.pixels = pixels.data();

    // A file that takes no writes: libpng's write error is reported, not a short file.
    std::FILE* readOnly = std::fopen("/dev/null", "rb");
    ASSERT_NE(readOnly, nullptr);
    std::string message;
    EXPECT_FALSE(WritePng(readOnly, picture, PngCompression::Standard, &message));
    EXPECT_FALSE(message.empty());
    std::fclose(readOnly);

    // A size libpng refuses in the header.
    picture.width = 0;
    EXPECT_TRUE(EncodePng(picture, PngCompression::Fast).empty());
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    message.clear();
    EXPECT_FALSE(WritePng(file, picture, PngCompression::Fast, &message));
    EXPECT_FALSE(message.empty());
    std::fclose(file);
}

} // namespace

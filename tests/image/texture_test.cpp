#include "image/texture.h"

#include "image/image_limits.h"
#include "image/png_decoder.h"

#include "image_files.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <png.h>

#include <filesystem>
#include <memory>

namespace {

// The texture memory of the tests that set none of their own.
ImageBudget budget;

GLint levelParameter(int level, GLenum name)
{
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

GLint textureParameter(GLenum name)
{
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

// Level 0 of the bound texture in format, rows packed tightly, row 0 first.
std::vector<uint8_t> levelZero(GLenum format, int components)
{
    std::vector<uint8_t> pixels(size_t(levelParameter(0, GL_TEXTURE_WIDTH)) * levelParameter(0, GL_TEXTURE_HEIGHT) * components);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void expectNear(const uint8_t* pixel, std::initializer_list<int> expected, int tolerance)
{
    int i = 0;
    for (int value : expected) {
        EXPECT_NEAR(pixel[i], value, tolerance) << "component " << i;
        ++i;
    }
}

// A 3 x 2 JPEG: the top row one colour, the bottom row another.
std::string threeByTwoJpeg(const TempFolder& folder)
{
    std::vector<uint8_t> rgb = solidRgb(3, 1, 10, 60, 240);
    std::vector<uint8_t> bottom = solidRgb(3, 1, 250, 120, 20);
    rgb.insert(rgb.end(), bottom.begin(), bottom.end());
    std::string path = folder.path("rows.jpg");
    writeJpeg(path, 3, 2, 3, JCS_RGB, JCS_YCbCr, rgb);
    return path;
}

} // namespace

TEST(DecodeTextures, PicturesDecodeWithoutAContextInTheLayoutTheirTexturesTake)
{
    TempFolder folder("texture-decode");
    const std::string png = folder.path("rows.png");
    writePng(png, 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {{255, 0, 0, 255, 0, 255, 0, 128}});
    struct Case {
        const char* name;
        TexturePicture picture;
        int width, height;
        GLenum format;
        int components;
        std::vector<int> firstTexel; // none for a picture without texels
    };
    const Case cases[] = {
        // Bottom row first, red first.
        {"jpeg", DecodeJpegTexture(threeByTwoJpeg(folder), budget), 3, 2, GL_RGB, 3, {250, 120, 20}},
        {"png", DecodePngTexture(png, budget), 2, 1, GL_RGBA, 4, {255, 0, 0, 255}},
        {"missing jpeg", DecodeJpegTexture(folder.path("missing.jpg"), budget), 0, 0, GL_RGB, 3, {}},
        {"missing png", DecodePngTexture(folder.path("missing.png"), budget), 0, 0, GL_RGBA, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.picture.width, c.width);
        EXPECT_EQ(c.picture.height, c.height);
        EXPECT_EQ(c.picture.format, c.format);
        EXPECT_EQ(c.picture.components, c.components);
        ASSERT_EQ(c.picture.texels.size(), size_t(c.width) * c.height * c.components);
        for (size_t i = 0; i < c.firstTexel.size(); ++i)
            EXPECT_NEAR(c.picture.texels[i], c.firstTexel[i], 3) << "component " << i;
    }
}

TEST(LoadJpegTexture, FirstUploadedRowIsTheBottomRowInRedGreenBlueOrder)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    TempFolder folder("texture-jpeg");
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    GLuint texture = LoadJpegTexture(threeByTwoJpeg(folder), false, budget);
    ASSERT_NE(texture, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 3);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 2);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);

    // Rows of 9 bytes: every pixel of both rows lands where it belongs.
    std::vector<uint8_t> pixels = levelZero(GL_RGB, 3);
    ASSERT_EQ(pixels.size(), 18u);
    for (int x = 0; x < 3; ++x) {
        SCOPED_TRACE(x);
        expectNear(&pixels[x * 3], {250, 120, 20}, 3);
        expectNear(&pixels[9 + x * 3], {10, 60, 240}, 3);
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(LoadJpegTexture, MipmapsScaleANonPowerOfTwoPictureAndBuildEveryLevel)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    TempFolder folder("texture-mipmaps");
    writeJpeg(folder.path("wide.jpg"), 100, 60, 3, JCS_RGB, JCS_YCbCr, solidRgb(100, 60, 200, 100, 50));
    LoadJpegTexture(folder.path("wide.jpg"), true, budget);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    // The utility library takes each side to a nearby power of two: 100 -> 128, 60 -> 64.
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(levelParameter(6, GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(levelParameter(6, GL_TEXTURE_HEIGHT), 1);
    EXPECT_EQ(levelParameter(7, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelParameter(7, GL_TEXTURE_HEIGHT), 1);
    std::vector<uint8_t> smallest(3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 7, GL_RGB, GL_UNSIGNED_BYTE, smallest.data());
    expectNear(smallest.data(), {200, 100, 50}, 3);

    // The 3 x 2 picture keeps its bottom row first in the rescaled level 0.
    LoadJpegTexture(threeByTwoJpeg(folder), true, budget);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 2);
    std::vector<uint8_t> pixels = levelZero(GL_RGB, 3);
    expectNear(&pixels[0], {250, 120, 20}, 3);
    expectNear(&pixels[12], {10, 60, 240}, 3);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(LoadPngTexture, RescaledLevelZeroLooksLikeTheUtilityLibrarysOwn)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    TempFolder folder("texture-rescale");
    const int width = 100, height = 60;
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < height; ++y) {
        rows.emplace_back();
        for (int x = 0; x < width; ++x)
            rows.back().insert(rows.back().end(), {uint8_t(x * 2), uint8_t(y * 4), uint8_t((x * y) % 256), uint8_t(255 - x)});
    }
    writePng(folder.path("gradient.png"), width, height, PNG_COLOR_TYPE_RGB_ALPHA, 8, rows);

    LoadPngTexture(folder.path("gradient.png"), true, budget);
    std::vector<uint8_t> ours = levelZero(GL_RGBA, 4);
    // Where both sides change, the utility library's own rescale is sound: the reference.
    std::vector<uint8_t> decoded = DecodePng(folder.path("gradient.png")).pixels;
    GLuint reference = 0;
    glGenTextures(1, &reference);
    glBindTexture(GL_TEXTURE_2D, reference);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, decoded.data());
    std::vector<uint8_t> theirs = levelZero(GL_RGBA, 4);
    ASSERT_EQ(ours.size(), 128u * 64 * 4);
    ASSERT_EQ(theirs.size(), ours.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        worst = std::max(worst, std::abs(ours[i] - theirs[i]));
    EXPECT_LE(worst, 2);
}

TEST(LoadPngTexture, TopRowFirstWithAlphaOnlyOnceMipmapsAreBuilt)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    TempFolder folder("texture-png");
    std::string path = folder.path("rows.png");
    writePng(path, 2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 255, 255, 255, 255}});

    LoadPngTexture(path, false, budget);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
    std::vector<uint8_t> plain = levelZero(GL_RGBA, 4);
    EXPECT_EQ(plain, (std::vector<uint8_t>{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}));

    LoadPngTexture(path, true, budget);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_GT(levelParameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
    std::vector<uint8_t> withAlpha = levelZero(GL_RGBA, 4);
    EXPECT_EQ(withAlpha, (std::vector<uint8_t>{255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 255, 255, 255, 255}));
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(LoadTextures, UndecodableFilesStillGiveABoundTextureWithAnEmptyImage)
{
    GlTestContext gl(32, 32);
    REQUIRE_GL(gl);
    TempFolder folder("texture-missing");
    GLuint jpeg = LoadJpegTexture(folder.path("missing.jpg"), true, budget);
    GLuint png = LoadPngTexture(folder.path("missing.png"), true, budget);
    ASSERT_NE(jpeg, 0u);
    ASSERT_NE(png, 0u);
    EXPECT_NE(jpeg, png);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), png);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    glBindTexture(GL_TEXTURE_2D, jpeg);
    EXPECT_TRUE(glIsTexture(jpeg));
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Kept among the drawing tests: the decoder tests before them measure the peak memory of
// the whole program, which a context raises.
TEST(LoadTextures, APicturePastTheShowsTextureMemoryIsLeftOutAndReported)
{
    GlTestContext gl(16, 16);
    REQUIRE_GL(gl);
    TempFolder folder("texture-budget");
    std::string png = folder.path("ten.png");
    writePng(png, 10, 10, PNG_COLOR_TYPE_RGB, 8, std::vector<std::vector<uint8_t>>(10, std::vector<uint8_t>(30, 7)));
    // Room for one picture while it loads; its levels stay taken, so a second is refused.
    const PictureCost cost = TexturePictureCost(10, 10, 4, static_cast<long long>(std::filesystem::file_size(png)));
    ImageBudget budget(cost.total());

    testing::internal::CaptureStderr();
    LoadPngTexture(png, true, budget);
    GLint kept = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &kept);
    LoadPngTexture(png, true, budget);
    GLint leftOut = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &leftOut);
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_GT(kept, 0);
    EXPECT_EQ(leftOut, 0);
    EXPECT_NE(messages.find(png + ": it costs " + DescribeBytes(cost.total()) + " of texture memory"), std::string::npos)
        << messages;
    EXPECT_EQ(budget.remaining(), cost.total() - cost.stored);
}

TEST(TextureHandle, OwnsItsTextureThroughMovesAndDeletesItOnlyInItsOwnContext)
{
    GlTestContext gl(16, 16);
    REQUIRE_GL(gl);
    const GLuint first = NewTexture();
    const GLuint second = NewTexture();
    ASSERT_TRUE(glIsTexture(first) && glIsTexture(second));
    {
        TextureHandle held(first);
        TextureHandle moved(std::move(held));
        EXPECT_FALSE(held);
        EXPECT_EQ(moved.get(), first);
        // Taking another texture lets go of the one held.
        moved = TextureHandle(second);
        EXPECT_FALSE(glIsTexture(first));
        EXPECT_EQ(moved.get(), second);
    }
    EXPECT_FALSE(glIsTexture(second));

    // A handle let go while another context is current leaves the texture alone: the
    // same name there is another context's texture.
    const GLuint kept = NewTexture();
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    auto handle = std::make_unique<TextureHandle>(kept);
    {
        GlTestContext other(16, 16);
        REQUIRE_GL(other);
        std::vector<GLuint> names(kept);
        glGenTextures(GLsizei(kept), names.data());
        for (GLuint name : names)
            glBindTexture(GL_TEXTURE_2D, name);
        ASSERT_TRUE(glIsTexture(kept));
        handle.reset();
        EXPECT_TRUE(glIsTexture(kept));
    }
    SDL_GL_MakeCurrent(window, context);
    EXPECT_TRUE(glIsTexture(kept));
    DeleteTexture(kept);
    DeleteTexture(0);
    EXPECT_FALSE(glIsTexture(kept));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(UploadAlphaTexture, KeepsOddWidthRowsWholeAndLeavesTheBindingAndUnpackingAsTheyWere)
{
    GlTestContext gl(16, 16);
    REQUIRE_GL(gl);
    const GLuint before = NewTexture();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Three bytes a row: a four-byte row alignment would skew the second row.
    const std::vector<uint8_t> alpha = {0, 50, 100, 150, 200, 250};
    TextureHandle atlas = UploadAlphaTexture(3, 2, alpha.data());
    ASSERT_TRUE(atlas);
    GLint bound = 0, unpack = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    EXPECT_EQ(GLuint(bound), before);
    EXPECT_EQ(unpack, 4);

    glBindTexture(GL_TEXTURE_2D, atlas.get());
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(levelZero(GL_ALPHA, 1), alpha);
    DeleteTexture(before);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

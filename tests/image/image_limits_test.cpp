#include "image/image_limits.h"
#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include "support/allocation_counter.h"
#include "image_files.h"
#include "support/image_bombs.h"
#include "support/sanitizer_hooks.h"

#include <gtest/gtest.h>

#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Hostile files: headers declaring 16384 x 16384 pixels in 67 and some 630 bytes (and a
// progressive one, whose coefficients the library would keep, in some 520 bytes), a
// progressive JPEG of 2000 empty scans over a 1448 x 1448 picture, and a 1 x 1 PNG with
// 200 compressed texts of 7.9 MB each (16 s to decode when the texts were inflated).
struct Bombs {
    explicit Bombs(const TempFolder& folder)
        : png(folder.path("huge.png")), jpeg(folder.path("huge.jpg")), scans(folder.path("scans.jpg")),
          texts(folder.path("texts.png")), progressive(folder.path("progressive.jpg"))
    {
        bombs::writeFile(progressive, bombs::jpegDeclaring(MaxImageSide, MaxImageSide, true));
        bombs::writeFile(png, bombs::pngDeclaring(MaxImageSide, MaxImageSide));
        bombs::writeFile(jpeg, bombs::jpegDeclaring(MaxImageSide, MaxImageSide));
        bombs::writeFile(scans, bombs::progressiveWithExtraScans(1448, 2000));
        bombs::writeFile(texts, bombs::pngWithTexts(200));
    }
    std::string png, jpeg, scans, texts, progressive;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(DecodingBombs, TinyFilesDeclaringHugePicturesAreRefusedBeforeAnythingLargeIsAllocated)
{
    TempFolder folder("image-bombs");
    Bombs files(folder);
    EXPECT_EQ(fs::file_size(files.png), 67u);
    EXPECT_LT(fs::file_size(files.jpeg), 700u);

    AllocationTracker tracker;
    DecodedImage png = DecodePng(files.png);
    DecodedImage jpeg = DecodeJpeg(files.jpeg);
    EXPECT_LT(tracker.largest(), size_t(1) << 20);
    EXPECT_TRUE(png.empty());
    EXPECT_EQ(png.refusal, "declares 16384 x 16384 pixels, more than its 67 bytes of data could hold");
    EXPECT_TRUE(jpeg.empty());
    EXPECT_TRUE(contains(jpeg.refusal, "declares 16384 x 16384 pixels, more than its")) << jpeg.refusal;

    DecodedImage progressive = DecodeJpeg(files.progressive);
    EXPECT_TRUE(progressive.empty());
    EXPECT_TRUE(contains(progressive.refusal, "declares 16384 x 16384 pixels, more than its")) << progressive.refusal;

    DecodedImage scans = DecodeJpeg(files.scans);
    EXPECT_TRUE(scans.empty());
    EXPECT_EQ(scans.refusal, "holds more than 1000 scans");
}

TEST(DecodingBombs, AreHandledWithinASecondUnderA512MegabyteAddressSpace)
{
#ifdef TALDREX_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    TempFolder folder("image-bombs-limited");
    Bombs files(folder);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{512L << 20, 512L << 20};
        setrlimit(RLIMIT_AS, &limit);
        DecodedImage png = DecodePng(files.png);
        DecodedImage jpeg = DecodeJpeg(files.jpeg);
        DecodedImage scans = DecodeJpeg(files.scans);
        DecodedImage progressive = DecodeJpeg(files.progressive);
        const bool refused = png.empty() && !png.refusal.empty() && jpeg.empty() && !jpeg.refusal.empty() &&
            scans.empty() && !scans.refusal.empty() && progressive.empty() && !progressive.refusal.empty();
        // Texts are skipped unread; the picture decodes.
        const bool decoded = DecodePng(files.texts).complete;
        _exit(refused && decoded ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a bomb was not refused by a limit, or the texts' picture not decoded";
    EXPECT_LT(seconds, 1.0);
}

TEST(DecodingBombs, GenuineFilesCutShortStillKeepWhatTheyHold)
{
    TempFolder folder("image-cut");
    // A PNG cut to a few hundred bytes still holds enough data for its rows; it decodes
    // part-way as before.
    const int width = 64, height = 64;
    std::vector<std::vector<uint8_t>> rows(height, std::vector<uint8_t>(width * 3, 90));
    PngOptions stored;
    stored.storedOnly = true;
    std::string png = folder.path("cut.png");
    writePng(png, width, height, PNG_COLOR_TYPE_RGB, 8, rows, stored);
    fs::resize_file(png, 400);
    DecodedImage cutPng = DecodePng(png);
    EXPECT_EQ(cutPng.width, width);
    EXPECT_FALSE(cutPng.complete);
    EXPECT_TRUE(cutPng.refusal.empty());

    // A JPEG whose data ends early is filled in by the library as before, and now known
    // to be incomplete.
    std::string jpeg = folder.path("cut.jpg");
    fs::copy_file(sharedTestData() + "/jpeg/testorig.jpg", jpeg);
    fs::resize_file(jpeg, fs::file_size(jpeg) * 2 / 3);
    DecodedImage cutJpeg = DecodeJpeg(jpeg);
    EXPECT_EQ(cutJpeg.width, 227);
    EXPECT_EQ(cutJpeg.height, 149);
    EXPECT_FALSE(cutJpeg.complete);
    EXPECT_TRUE(cutJpeg.refusal.empty());
    EXPECT_TRUE(DecodeJpeg(sharedTestData() + "/jpeg/testorig.jpg").complete);
}

TEST(DecodeJpeg, AThousandScansDecodeAndOneMoreIsRefused)
{
    TempFolder folder("jpeg-scans");
    const int ownScans = bombs::scansIn(bombs::flatJpeg(64, 64, 1, true));
    std::string path = folder.path("scans.jpg");

    bombs::writeFile(path, bombs::progressiveWithExtraScans(64, MaxJpegScans - ownScans));
    DecodedImage atLimit = DecodeJpeg(path);
    EXPECT_EQ(atLimit.width, 64);
    EXPECT_TRUE(atLimit.refusal.empty());

    bombs::writeFile(path, bombs::progressiveWithExtraScans(64, MaxJpegScans - ownScans + 1));
    DecodedImage overLimit = DecodeJpeg(path);
    EXPECT_TRUE(overLimit.empty());
    EXPECT_EQ(overLimit.refusal, "holds more than 1000 scans");
}

TEST(DecodeImages, FilesAndSizesBeyondTheLimitsAreRefusedWithTheReason)
{
    TempFolder folder("image-limits");
    std::string path = folder.path("wide.png");
    bombs::writeFile(path, bombs::pngDeclaring(MaxImageSide + 1, 1));
    DecodedImage image = DecodePng(path);
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.refusal, "declares 16385 x 1 pixels, more than the 16384 x 16384 a picture may have");

    // Only regular files are read, a FIFO without waiting for a writer, and none larger
    // than an image file may be (a sparse file here).
    ASSERT_EQ(mkfifo(folder.path("fifo.jpg").c_str(), 0600), 0);
    std::ofstream(folder.path("large.png")).close();
    fs::resize_file(folder.path("large.png"), ImageFileLimit + 1);
    for (const std::string& name : {std::string(), std::string("fifo.jpg"), std::string("large.png")}) {
        SCOPED_TRACE(name);
        DecodedImage refused = name == "fifo.jpg" ? DecodeJpeg(folder.path(name)) : DecodePng(folder.path(name));
        EXPECT_TRUE(refused.empty());
        EXPECT_FALSE(refused.refusal.empty());
    }
    // A missing file is no refusal: it is simply not there.
    EXPECT_TRUE(DecodeJpeg(folder.path("missing.jpg")).refusal.empty());
}

// What a picture costs: its pixels, the file and the copies while it loads (a JPEG's
// bottom-up copy, the mipmap builder's copy of the first level and, for sides that are not
// powers of two, the rescaled copy and the driver's levels at the picture's own size), and
// every level of the chain at four bytes a texel.
TEST(TexturePictureCost, CountsPixelsCopiesAndTheDriversLevels)
{
    struct Case {
        uint32_t width, height;
        int components;
        long long file;
        long long decoded, working, stored;
    };
    const Case cases[] = {
        // The one-bit hostile PNG: a GiB of pixels, a GiB copied, 4/3 GiB of levels.
        {16384, 16384, 4, 32697, 1LL << 30, (1LL << 30) + 32697, 1431655764},
        // A photo brought to 512 x 512 (levels 512 .. 1 hold 349525 texels; 640 x 480 .. 1 x 1,
        // 409588).
        {640, 480, 3, 5000, 921600, 5000 + 921600 + 2 * 786432 + 4 * 409588, 1398100},
        // 3 x 2 goes to 4 x 2: levels 4 x 2, 2 x 1, 1 x 1 (first 3 x 2, 1 x 1).
        {3, 2, 4, 70, 24, 70 + 2 * 32 + 4 * 7, 44},
        // A column halves down to one texel: 8 + 4 + 2 + 1.
        {1, 8, 4, 0, 32, 32, 60},
        {1, 1, 3, 0, 3, 3 + 3, 4},
        // No picture costs nothing.
        {0, 7, 4, 100, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const PictureCost cost = TexturePictureCost(c.width, c.height, c.components, c.file);
        EXPECT_EQ(cost.decoded, c.decoded) << c.width << " x " << c.height;
        EXPECT_EQ(cost.working, c.working) << c.width << " x " << c.height;
        EXPECT_EQ(cost.stored, c.stored) << c.width << " x " << c.height;
        EXPECT_EQ(cost.loading(), c.decoded + c.working);
        EXPECT_EQ(cost.total(), c.decoded + c.working + c.stored);
    }
}

TEST(ImageBudget, PicturesTakeTheirCostKeepTheirLevelsAndPicturesThatComeToNothingCostNothing)
{
    TempFolder folder("image-budget");
    std::string png = folder.path("ten.png");
    writePng(png, 10, 10, PNG_COLOR_TYPE_RGB, 8, std::vector<std::vector<uint8_t>>(10, std::vector<uint8_t>(30, 7)));
    std::string jpeg = folder.path("ten.jpg");
    writeJpeg(jpeg, 10, 10, 3, JCS_RGB, JCS_YCbCr, solidRgb(10, 10, 1, 2, 3));
    std::string broken = folder.path("broken.png");
    std::ofstream(broken, std::ios::binary) << bombs::pngDeclaring(10, 10).substr(0, 40);
    const PictureCost pngCost = TexturePictureCost(10, 10, 4, static_cast<long long>(fs::file_size(png)));
    const PictureCost jpegCost = TexturePictureCost(10, 10, 3, static_cast<long long>(fs::file_size(jpeg)));

    // Room for the PNG while it loads, then for the JPEG beside the PNG's levels, and not
    // for another JPEG beside both.
    ImageBudget budget(pngCost.stored + jpegCost.total());
    DecodedImage first = DecodePng(png, &budget);
    EXPECT_EQ(first.width, 10);
    EXPECT_EQ(first.cost.total(), pngCost.total());
    EXPECT_EQ(budget.remaining(), jpegCost.total() - pngCost.loading());
    budget.endLoading(first.cost);
    EXPECT_EQ(budget.remaining(), jpegCost.total());
    DecodedImage second = DecodeJpeg(jpeg, &budget);
    EXPECT_EQ(second.width, 10);
    EXPECT_EQ(budget.remaining(), 0);
    budget.endLoading(second.cost);
    EXPECT_EQ(budget.remaining(), jpegCost.loading());

    DecodedImage refused = DecodeJpeg(jpeg, &budget);
    EXPECT_TRUE(refused.empty());
    EXPECT_TRUE(contains(refused.refusal, "it costs " + DescribeBytes(jpegCost.total()) + " of texture memory"))
        << refused.refusal;
    EXPECT_TRUE(contains(refused.refusal, "which would pass the show's texture memory")) << refused.refusal;
    EXPECT_EQ(refused.cost.total(), 0);
    EXPECT_EQ(budget.remaining(), jpegCost.loading());
    // A header that decodes to nothing gives its share back; the smaller PNG still fits.
    EXPECT_TRUE(DecodePng(broken, &budget).empty());
    EXPECT_EQ(budget.remaining(), jpegCost.loading());
    ASSERT_LE(pngCost.total(), jpegCost.loading());
    EXPECT_EQ(DecodePng(png, &budget).width, 10);
}

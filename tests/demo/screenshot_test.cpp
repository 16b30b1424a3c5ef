// Screenshots: their names, and the picture written being the frame read back, under a
// name no file had.
#include "demo/screenshot.h"
#include "support/allocation_counter.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A frame no two rows or columns of which are alike: red from x, green from y, blue fixed.
void drawGradient(int width, int height)
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    for (int x = 0; x < width; x += 4) {
        for (int y = 0; y < height; y += 4) {
            glScissor(x, y, 4, 4);
            glClearColor(float(x) / width, float(y) / height, 0.25f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

// The file's pixels as RGBA, top row first, through libpng's own reader (the show's decoder
// applies the show's gamma).
std::vector<uint8_t> readPng(const std::string& path, int& width, int& height)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    width = int(image.width);
    height = int(image.height);
    return pixels;
}

struct TempFolder {
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "screenshot-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string path;
};

} // namespace

TEST(Screenshot, NamesSayTheShowAndTheMomentInMinutesSecondsAndMilliseconds)
{
    const struct {
        double ms;
        const char* name;
    } cases[] = {
        {0, "taldrex-quorin-00m00.000s.png"},
        {-40, "taldrex-quorin-00m00.000s.png"},
        {999.9, "taldrex-quorin-00m00.999s.png"},
        {65250.5, "taldrex-quorin-01m05.250s.png"},
        {3599999, "taldrex-quorin-59m59.999s.png"},
        {6000000, "taldrex-quorin-100m00.000s.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScreenshotName("quorin", c.ms), c.name) << c.ms;
}

TEST(Screenshot, TheShowIsNamedByItsFoldersLastPart)
{
    TempFolder dir;
    fs::create_directories(dir.path + "/my show/data");
    const struct {
        std::string folder;
        std::string name;
    } cases[] = {
        {dir.path + "/my show", "my show"},
        {dir.path + "/my show/", "my show"},
        {dir.path + "/my show/data/..", "my show"},
        {dir.path + "/my show/.", "my show"},
        {"/", "show"},
        {dir.path + "/tab\there", "tab_here"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScreenshotShowName(c.folder), c.name) << c.folder;
    EXPECT_EQ(ScreenshotShowName(""), fs::current_path().filename().string());
}

TEST(Screenshot, WritesTheFrameAsReadBackAndNeverOverAFileThatIsThere)
{
    const int width = 64, height = 36;
    GlTestContext gl(width, height);
    REQUIRE_GL(gl);
    TempFolder dir;
    drawGradient(width, height);
    const std::vector<uint8_t> frame = gl.readPixels();
    // Something already bears the next name: it stays as it was.
    std::ofstream(dir.path + "/taldrex-demo-00m01.234s-2.png") << "kept";

    Screenshots shots(dir.path, "demo");
    shots.prepare(width, height);
    std::vector<std::string> written;
    for (int i = 0; i < 3; ++i) {
        std::string problem;
        written.push_back(shots.take(width, height, 1234.5, problem));
        EXPECT_EQ(problem, "");
    }
    EXPECT_EQ(written, (std::vector<std::string>{dir.path + "/taldrex-demo-00m01.234s.png",
        dir.path + "/taldrex-demo-00m01.234s-3.png", dir.path + "/taldrex-demo-00m01.234s-4.png"}));
    EXPECT_EQ(readText(dir.path + "/taldrex-demo-00m01.234s-2.png"), "kept");

    for (const std::string& path : written) {
        int fileWidth = 0, fileHeight = 0;
        const std::vector<uint8_t> pixels = readPng(path, fileWidth, fileHeight);
        ASSERT_EQ(fileWidth, width) << path;
        ASSERT_EQ(fileHeight, height) << path;
        // The file is top row first and opaque; the read-back bottom row first.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const size_t file = (size_t(y) * width + x) * 4;
                const size_t read = (size_t(height - 1 - y) * width + x) * 4;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(pixels[file + c], frame[read + c]) << path << " at " << x << "," << y;
                ASSERT_EQ(pixels[file + 3], 255);
            }
        }
    }
}

TEST(Screenshot, AFolderThatCannotBeWrittenGivesNoFileAndSaysWhy)
{
    GlTestContext gl(16, 16);
    REQUIRE_GL(gl);
    TempFolder dir;
    Screenshots missing(dir.path + "/gone", "demo");
    std::string problem;
    EXPECT_EQ(missing.take(16, 16, 0, problem), "");
    EXPECT_NE(problem.find(dir.path + "/gone/taldrex-demo-00m00.000s.png: cannot be created"), std::string::npos)
        << problem;

    // The report: the line stays for the status bar for a while, then goes; reading it, as
    // each frame does, allocates nothing.
    missing.takeAndReport(16, 16, 0, 1000);
    char text[200] = "status";
    const long before = AllocationCount();
    const bool shown = missing.notice(text, sizeof text, 1000 + Screenshots::NoticeMs - 1);
    EXPECT_EQ(AllocationCount(), before);
    EXPECT_TRUE(shown);
    EXPECT_EQ(std::string(text).rfind("no screenshot: ", 0), 0u) << text;
    std::snprintf(text, sizeof text, "status");
    EXPECT_FALSE(missing.notice(text, sizeof text, 1000 + Screenshots::NoticeMs));
    EXPECT_STREQ(text, "status");
}

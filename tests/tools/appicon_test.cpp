// taldrex-appicon: the player's own icon written at every size the desktop's icon theme
// looks for, and a folder it cannot write reported by name.
#include "desktop/child_process.h"
#include "image/png_decoder.h"
#include "player/artwork.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

int runAppIcon(const std::string& argument)
{
    ChildProcess tool;
    return tool.start(TALDREX_APPICON, {"taldrex-appicon", argument}, {}) ? tool.finish() : -1;
}

} // namespace

TEST(AppIcon, WritesThePlayersIconAtEachThemeSize)
{
    const fs::path dir = fs::temp_directory_path() / ("taldrex-appicon-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ASSERT_EQ(runAppIcon(dir.string()), 0);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::string side = std::to_string(size);
        const DecodedImage icon = DecodePng((dir / (side + "x" + side) / "apps" / "taldrex.png").string());
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        // The decoder brings colours through the show's gamma curve; alpha comes as written.
        const std::vector<unsigned char> drawn = DrawAppIcon(size);
        for (size_t i = 3; i < drawn.size(); i += 4)
            ASSERT_EQ(icon.pixels[i], drawn[i]) << "alpha of pixel " << i / 4;
        EXPECT_EQ(icon.pixels[3], 0) << "the rounded tile's corner is transparent";
        EXPECT_EQ(icon.pixels[(size_t(size / 2) * size + size / 2) * 4 + 3], 255) << "the middle is opaque";
    }
    fs::remove_all(dir);

    EXPECT_EQ(runAppIcon("/proc/no-such-place"), 1);
    EXPECT_EQ(runAppIcon("--out"), 2);
    EXPECT_EQ(runAppIcon("--help"), 0);
}

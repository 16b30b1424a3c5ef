// cmake --install puts the makers' scene tool beside the player, with the bundled show.
#include "desktop/child_process.h"
#include "support/missing.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(Install, TheSceneToolGoesBesideThePlayer)
{
    const std::string cmake = FindProgram("cmake", nullptr);
    if (cmake.empty())
        SKIP_FOR_MISSING("cmake is not on the path");
    const fs::path prefix = fs::temp_directory_path() / ("taldrex-install-" + std::to_string(::getpid()));
    fs::remove_all(prefix);
    ChildProcess install;
    ASSERT_TRUE(install.start(cmake, {"cmake", "--install", TALDREX_BINARY_DIR, "--prefix", prefix.string()}, {}));
    ASSERT_EQ(install.finish(), 0);
    EXPECT_TRUE(fs::exists(prefix / "bin" / "taldrex"));
    EXPECT_TRUE(fs::exists(prefix / "bin" / "taldrex-scene"));
    EXPECT_TRUE(fs::exists(prefix / "share" / "taldrex" / "show" / "script.txt"));
    fs::remove_all(prefix);
}

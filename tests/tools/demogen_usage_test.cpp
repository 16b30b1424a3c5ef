// taldrex-demogen's command line: --help is usage, never a folder to write a show into.
#include "desktop/child_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs the generator in folder with one argument; its exit status.
int runIn(const fs::path& folder, const std::string& argument)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    ChildProcess generator;
    const bool started = generator.start(TALDREX_DEMOGEN, {"taldrex-demogen", argument}, {});
    const int status = started ? generator.finish() : -1;
    fs::current_path(previous);
    return status;
}

} // namespace

TEST(DemogenUsage, HelpAndOptionsWriteNoShow)
{
    const fs::path dir = fs::temp_directory_path() / ("taldrex-demogen-usage-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    EXPECT_EQ(runIn(dir, "--help"), 0);
    EXPECT_EQ(runIn(dir, "-h"), 0);
    EXPECT_EQ(runIn(dir, "--out"), 2);
    EXPECT_TRUE(fs::is_empty(dir)) << "a show was written into a folder named after an option";
    fs::remove_all(dir);
}

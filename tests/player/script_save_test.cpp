#include "player/script_save.h"

#include "common/data_file.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(SaveShowScript, KeepsTheScriptBeforeAndLeavesNothingElseBehind)
{
    const fs::path dir = fs::temp_directory_path() / ("taldrex-save-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Found in any letter case, and written back under its own name and mode.
    writeFile(dir / "Script.txt", "[part]\na\n1000\r\n");
    ::chmod((dir / "Script.txt").c_str(), 0640);
    DataFolder folder;
    std::string problem;
    ASSERT_TRUE(folder.open(dir.string(), true, problem)) << problem;

    ASSERT_TRUE(SaveShowScript(folder, "[part]\na\n2000\r\n", problem)) << problem;
    EXPECT_EQ(bytesOf(dir / "Script.txt"), "[part]\na\n2000\r\n");
    EXPECT_EQ(bytesOf(dir / "Script.txt~"), "[part]\na\n1000\r\n");
    struct stat status {};
    ASSERT_EQ(::stat((dir / "Script.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    // A save a crash cut short left its temporary file: the next save clears it.
    writeFile(dir / ".script.txt.saving-Ab12Cd", "[part]\n");
    ASSERT_TRUE(SaveShowScript(folder, "[part]\na\n3000\r\n", problem)) << problem;
    EXPECT_EQ(bytesOf(dir / "Script.txt~"), "[part]\na\n2000\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    // A folder that cannot be written keeps its script and gains no file.
    if (::geteuid() != 0) {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(SaveShowScript(folder, "lost", problem));
        EXPECT_NE(problem.find("cannot be written"), std::string::npos) << problem;
        fs::permissions(dir, fs::perms::owner_all);
        EXPECT_EQ(bytesOf(dir / "Script.txt"), "[part]\na\n3000\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    }

    // A show read from an archive is never written.
    const std::string zip = ZipBytes({StoredZipEntry("script.txt", "[part]\na\n1000\n")});
    writeFile(dir / "show.zip", zip);
    DataFolder archived;
    ASSERT_TRUE(archived.open((dir / "show.zip").string(), true, problem)) << problem;
    EXPECT_FALSE(SaveShowScript(archived, "lost", problem));
    EXPECT_NE(problem.find("show.zip"), std::string::npos) << problem;
    EXPECT_EQ(bytesOf(dir / "show.zip"), zip);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    fs::remove_all(dir);
}

} // namespace

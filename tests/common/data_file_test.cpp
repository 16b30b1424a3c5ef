#include "common/data_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A demo folder with data/ and a secret file beside it, opened with and without its
// boundary from wherever the test stands; everything is removed afterwards.
class DataFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        start_ = fs::current_path();
        char pattern[] = "/tmp/taldrex-data-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "show" / "data");
        write(root_ / "secret.txt", "secret");
        write(root_ / "show" / "data" / "Logo.PNG", "picture");
        data_ = root_ / "show" / "data";
        std::string problem;
        ASSERT_TRUE(show_.open((root_ / "show").string(), true, problem)) << problem;
        ASSERT_TRUE(open_.open((root_ / "show").string(), false, problem)) << problem;
    }

    void TearDown() override
    {
        fs::current_path(start_);
        fs::remove_all(root_);
    }

    static void write(const fs::path& path, const std::string& text)
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }

    fs::path start_;
    fs::path root_;
    fs::path data_;
    DataFolder show_; // confined to the folder
    DataFolder open_; // the same folder without a boundary
};

} // namespace

TEST_F(DataFileTest, FindsFilesInsideTheFolderInAnyLetterCase)
{
    std::vector<unsigned char> bytes;
    std::string problem;
    ASSERT_TRUE(show_.readFile("data\\logo.png", 1000, bytes, problem)) << problem;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "picture");

    // A link that stays inside the folder is followed.
    fs::create_symlink("Logo.PNG", data_ / "alias.png");
    EXPECT_TRUE(show_.openFile("data\\alias.png", 1000));
}

TEST_F(DataFileTest, NothingOutsideTheFolderIsRead)
{
    fs::create_symlink(root_ / "secret.txt", data_ / "link.png");
    fs::create_symlink(root_, data_ / "up");
    for (const char* path : {"data\\..\\..\\secret.txt", "data/../../secret.txt", "data\\link.png",
                             "data\\up\\secret.txt", "/etc/passwd"}) {
        DataFile file = show_.openFile(path, 1000);
        EXPECT_FALSE(file) << path;
        EXPECT_EQ(file.error, DataFileError::Outside) << path;
        EXPECT_EQ(file.problem, "outside the demo folder") << path;
    }

    // Lifting the boundary is how makers share assets between folders.
    EXPECT_TRUE(open_.openFile("data\\link.png", 1000));
    EXPECT_TRUE(open_.openFile("data\\..\\..\\secret.txt", 1000));
}

TEST_F(DataFileTest, SpecialFilesAreNamedForWhatTheyAreWithoutBlocking)
{
    ASSERT_EQ(mkfifo((data_ / "pipe.png").c_str(), 0644), 0);
    fs::create_directory(data_ / "folder.png");
    fs::create_symlink("/dev/zero", data_ / "zero.mp3");

    const auto started = std::chrono::steady_clock::now();
    DataFile fifo = open_.openFile("data\\pipe.png", 1000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(fifo.error, DataFileError::NotRegular);
    EXPECT_EQ(fifo.problem, "is a FIFO, not a regular file");
    EXPECT_EQ(open_.openFile("data\\folder.png", 1000).problem, "is a folder, not a regular file");
    EXPECT_EQ(open_.openFile("data\\zero.mp3", 1000).problem, "is a device, not a regular file");

    DataFile missing = open_.openFile("data\\none.png", 1000);
    EXPECT_EQ(missing.error, DataFileError::Missing);
    EXPECT_EQ(missing.problem, "does not exist");
}

TEST_F(DataFileTest, FilesOverTheirLimitAreRefusedBeforeReading)
{
    std::vector<unsigned char> bytes;
    std::string problem;
    EXPECT_FALSE(show_.readFile("data\\logo.png", 6, bytes, problem));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(problem, "is 7 bytes, more than the 6 bytes a file of its kind may be");
    EXPECT_TRUE(show_.readFile("data\\logo.png", 7, bytes, problem));

    EXPECT_EQ(DescribeBytes(ImageFileLimit), "256 MiB");
    EXPECT_EQ(DescribeBytes(SceneFileLimit), "1 GiB");
    EXPECT_EQ(DescribeBytes(3LL << 29), "1.5 GiB");
}

TEST_F(DataFileTest, WithoutABoundaryAnInMemoryFileOpensByItsProcPath)
{
    const int fd = memfd_create("picture", 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "bytes", 5), 5);
    DataFile file = open_.openFile("/proc/self/fd/" + std::to_string(fd), 100);
    EXPECT_TRUE(file) << file.problem;
    EXPECT_EQ(file.size, 5);
    close(fd);
    EXPECT_EQ(open_.openFile("data\\nothing.png", 100).error, DataFileError::Missing);
}

TEST_F(DataFileTest, AFolderIsReadFromWhereverTheProgramStands)
{
    fs::create_symlink(root_ / "secret.txt", data_ / "link.png");
    fs::current_path(root_);
    std::string problem;
    DataFolder confined;
    ASSERT_TRUE(confined.open("show", true, problem)) << problem;
    DataFolder open;
    ASSERT_TRUE(open.open((root_ / "show").string(), false, problem)) << problem;
    EXPECT_EQ(confined.root(), fs::canonical(root_ / "show").string());

    // Found under the folder in any letter case, and named as the show names it.
    DataFile logo = confined.openFile("data\\logo.png", 1000);
    EXPECT_TRUE(logo) << logo.problem;
    EXPECT_EQ(logo.path, "data/Logo.PNG");
    EXPECT_EQ(confined.placeOf(logo.path), confined.root() + "/data/Logo.PNG");

    // The boundary is the folder's own; without one, the same names reach outside.
    EXPECT_EQ(confined.openFile("data\\link.png", 1000).error, DataFileError::Outside);
    EXPECT_EQ(confined.openFile("secret.txt", 1000).error, DataFileError::Missing);
    EXPECT_TRUE(open.openFile("data\\link.png", 1000));
    EXPECT_TRUE(open.openFile("..\\secret.txt", 1000));

    // A path that is not a folder leaves the folder as it was.
    const struct {
        const char* path;
        const char* problem;
    } refused[] = {
        {"no-such-folder", "No such file or directory"},
        {"secret.txt", "Not a directory"},
        {"show/data/Logo.PNG", "Not a directory"},
    };
    for (const auto& c : refused) {
        DataFolder unchanged = confined;
        EXPECT_FALSE(unchanged.open(c.path, true, problem)) << c.path;
        EXPECT_EQ(problem, c.problem) << c.path;
        EXPECT_EQ(unchanged.root(), confined.root()) << c.path;
    }
}

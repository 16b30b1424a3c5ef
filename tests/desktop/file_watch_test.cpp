#include "desktop/file_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A demo folder of the test's own, watched with each method.
class FileWatchTest : public ::testing::TestWithParam<FileWatch::Method> {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-watch-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "Data");
        write("script.txt", "[part]\n");
        write("Data/a.scn", "first version");
    }
    void TearDown() override
    {
        watch.stop();
        fs::remove_all(dir);
    }

    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << text;
    }
    std::string read(const std::string& name)
    {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Everything poll() reports until `wanted` has been reported and then nothing more for
    // a moment, or until the time limit; each report in order.
    std::vector<std::string> collect(const std::string& wanted, std::chrono::milliseconds quiet = 300ms)
    {
        std::vector<std::string> seen;
        const auto limit = std::chrono::steady_clock::now() + 5s;
        auto lastSeen = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < limit) {
            for (const std::string& path : watch.poll()) {
                seen.push_back(path);
                lastSeen = std::chrono::steady_clock::now();
                if (path == wanted)
                    contentAtReport = read(wanted);
            }
            const bool found = std::find(seen.begin(), seen.end(), wanted) != seen.end();
            if (found && std::chrono::steady_clock::now() - lastSeen > quiet)
                break;
            std::this_thread::sleep_for(5ms);
        }
        return seen;
    }
    // Polls for a while and returns what was reported.
    std::vector<std::string> drain(std::chrono::milliseconds time)
    {
        std::vector<std::string> seen;
        const auto limit = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < limit) {
            for (const std::string& path : watch.poll())
                seen.push_back(path);
            std::this_thread::sleep_for(5ms);
        }
        return seen;
    }
    bool polling() const { return GetParam() == FileWatch::Method::Polling; }

    fs::path dir;
    FileWatch watch;
    std::string contentAtReport;
};

long count(const std::vector<std::string>& seen, const std::string& path)
{
    return std::count(seen.begin(), seen.end(), path);
}

} // namespace

TEST_P(FileWatchTest, AChangedFileIsReportedOnceByItsPathAsOnDisk)
{
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    EXPECT_EQ(watch.method(), GetParam());
    EXPECT_TRUE(drain(polling() ? 1200ms : 200ms).empty()) << "nothing changed yet";

    write("Data/a.scn", "second version");
    const std::vector<std::string> seen = collect("Data/a.scn");
    EXPECT_EQ(count(seen, "Data/a.scn"), 1);
    EXPECT_EQ(contentAtReport, "second version");

    write("script.txt", "[part]\nchanged\n");
    EXPECT_EQ(count(collect("script.txt"), "script.txt"), 1);
}

TEST_P(FileWatchTest, AFileWrittenCutShortThenWholeEndsReportedWhole)
{
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    // Truncated, written in part, and completed a moment later, as a slow save does.
    write("Data/a.scn", "sec");
    std::this_thread::sleep_for(20ms);
    write("Data/a.scn", "second version, complete");
    const std::vector<std::string> seen = collect("Data/a.scn");
    ASSERT_GE(count(seen, "Data/a.scn"), 1);
    // Within the settle time the steps make one report, of the whole file.
    if (!polling()) {
        EXPECT_EQ(count(seen, "Data/a.scn"), 1);
    }
    EXPECT_EQ(contentAtReport, "second version, complete");

    // Apart by more than the settle time: the cut-short file is reported, then the whole one.
    watch.setSettleTime(0ms);
    write("Data/a.scn", "thi");
    ASSERT_EQ(count(collect("Data/a.scn", 50ms), "Data/a.scn"), 1);
    write("Data/a.scn", "third version, complete");
    ASSERT_EQ(count(collect("Data/a.scn", 50ms), "Data/a.scn"), 1);
    EXPECT_EQ(contentAtReport, "third version, complete");
}

TEST_P(FileWatchTest, AFileRenamedOverAnotherReportsTheReplacedName)
{
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    // Editors write a new file beside the old one and rename it over, or move the old one
    // aside first.
    write("Data/.a.scn.tmp", "saved by renaming");
    fs::rename(dir / "Data/.a.scn.tmp", dir / "Data/a.scn");
    EXPECT_EQ(count(collect("Data/a.scn"), "Data/a.scn"), 1);
    EXPECT_EQ(contentAtReport, "saved by renaming");

    fs::rename(dir / "Data/a.scn", dir / "Data/a.scn~");
    write("Data/a.scn", "saved after a backup");
    EXPECT_EQ(count(collect("Data/a.scn"), "Data/a.scn"), 1);
    EXPECT_EQ(contentAtReport, "saved after a backup");
}

TEST_P(FileWatchTest, NewFilesAndFoldersUnderDataAreReportedOthersAreNot)
{
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    write("Data/new.png", "new");
    EXPECT_EQ(count(collect("Data/new.png"), "Data/new.png"), 1);

    // A folder made after the watch began, with a file already in it by the time it is seen.
    fs::create_directories(dir / "Data/sub/deeper");
    write("Data/sub/deeper/logo.jpg", "logo");
    EXPECT_EQ(count(collect("Data/sub/deeper/logo.jpg"), "Data/sub/deeper/logo.jpg"), 1);

    // Folders beside data are none of the show's business.
    fs::create_directories(dir / "notes");
    write("notes/todo.txt", "x");
    write("notes.txt", "x");
    const std::vector<std::string> seen = collect("notes.txt");
    EXPECT_EQ(count(seen, "notes/todo.txt"), 0);
    EXPECT_EQ(count(seen, "notes.txt"), 1);
}

TEST_P(FileWatchTest, ADataFolderMadeAfterTheStartIsWatched)
{
    fs::remove_all(dir / "Data");
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    fs::create_directories(dir / "data");
    write("data/late.scn", "late");
    EXPECT_EQ(count(collect("data/late.scn"), "data/late.scn"), 1);
    write("data/late.scn", "later");
    EXPECT_EQ(count(collect("data/late.scn"), "data/late.scn"), 1);
    EXPECT_EQ(contentAtReport, "later");
}

TEST_P(FileWatchTest, ARemovedFileIsReported)
{
    ASSERT_TRUE(watch.start(dir.string(), GetParam()));
    fs::remove(dir / "Data/a.scn");
    EXPECT_EQ(count(collect("Data/a.scn"), "Data/a.scn"), 1);
}

INSTANTIATE_TEST_SUITE_P(Methods, FileWatchTest,
    ::testing::Values(FileWatch::Method::Inotify, FileWatch::Method::Polling),
    [](const ::testing::TestParamInfo<FileWatch::Method>& info) {
        return info.param == FileWatch::Method::Inotify ? "Inotify" : "Polling";
    });

TEST(FileWatch, AFolderThatIsNotThereCannotBeWatched)
{
    FileWatch watch;
    EXPECT_FALSE(watch.start("/nonexistent/taldrex-watch"));
    EXPECT_FALSE(watch.start(""));
    EXPECT_TRUE(watch.poll().empty());
}

#include "player/demo_folder.h"

#include "common/data_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A fresh folder under the system's temporary folder; the working directory is put
// back and the folder removed afterwards.
class DemoFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        startDir_ = cwd;
        char pattern[] = "/tmp/taldrex-folder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        SetDemoFolderBoundary("");
        ASSERT_EQ(chdir(startDir_.c_str()), 0);
        const std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    void writeFile(const std::string& name)
    {
        std::FILE* file = std::fopen((dir_ + "/" + name).c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("[mp3]\n", file);
        std::fclose(file);
    }

    std::string currentDir()
    {
        char cwd[PATH_MAX];
        return getcwd(cwd, sizeof cwd) ? cwd : "";
    }

    std::string startDir_;
    std::string dir_;
};

} // namespace

TEST_F(DemoFolderTest, BecomesTheWorkingDirectoryWhenItsScriptCanBeRead)
{
    writeFile("Script.TXT");
    EXPECT_EQ(enterDemoFolder(dir_, false), "");
    EXPECT_EQ(currentDir(), dir_);
}

TEST_F(DemoFolderTest, EmptyNameMeansTheCurrentFolder)
{
    writeFile("script.txt");
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    EXPECT_EQ(enterDemoFolder("", false), "");
    EXPECT_EQ(currentDir(), dir_);
}

TEST_F(DemoFolderTest, MissingScriptIsReportedWithTheFolder)
{
    const std::string message = enterDemoFolder(dir_, false);
    EXPECT_NE(message.find("script.txt"), std::string::npos) << message;
    EXPECT_NE(message.find(dir_), std::string::npos) << message;

    ASSERT_EQ(chdir(dir_.c_str()), 0);
    const std::string here = enterDemoFolder("", false);
    EXPECT_NE(here.find(dir_), std::string::npos) << here;
}

TEST_F(DemoFolderTest, ScriptThatIsAFolderCannotBeRead)
{
    ASSERT_EQ(mkdir((dir_ + "/script.txt").c_str(), 0755), 0);
    const std::string message = enterDemoFolder(dir_, false);
    EXPECT_NE(message.find(dir_), std::string::npos) << message;
}

TEST_F(DemoFolderTest, MissingFolderIsReportedByName)
{
    const std::string missing = dir_ + "/no-such-show";
    const std::string message = enterDemoFolder(missing, false);
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_EQ(currentDir(), startDir_);
}

TEST_F(DemoFolderTest, ScriptThatIsAFifoIsReportedWithoutWaiting)
{
    ASSERT_EQ(mkfifo((dir_ + "/script.txt").c_str(), 0644), 0);
    const std::string message = enterDemoFolder(dir_, false);
    EXPECT_NE(message.find("FIFO"), std::string::npos) << message;
}

TEST_F(DemoFolderTest, ScriptLinkedFromOutsideIsReadOnlyWhenAllowed)
{
    const std::string outside = dir_ + "-outside.txt";
    std::FILE* file = std::fopen(outside.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    ASSERT_EQ(symlink(outside.c_str(), (dir_ + "/script.txt").c_str()), 0);

    const std::string message = enterDemoFolder(dir_, false);
    EXPECT_NE(message.find("outside the demo folder"), std::string::npos) << message;
    EXPECT_EQ(enterDemoFolder(dir_, true), "");
    std::remove(outside.c_str());
}

#include "player/demo_folder.h"

#include "common/data_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

    // The message openDemoFolder gives for dir, opening a fresh folder.
    std::string open(const std::string& dir, bool allowOutside = false)
    {
        DataFolder folder;
        return openDemoFolder(dir, allowOutside, folder);
    }

    std::string startDir_;
    std::string dir_;
};

} // namespace

TEST_F(DemoFolderTest, OpensAFolderWhoseScriptCanBeReadWithoutMovingTheProgram)
{
    writeFile("Script.TXT");
    DataFolder folder;
    EXPECT_EQ(openDemoFolder(dir_, false, folder), "");
    EXPECT_EQ(folder.root(), dir_);
    EXPECT_TRUE(folder.confined());
    EXPECT_EQ(currentDir(), startDir_);
    EXPECT_TRUE(folder.openFile("script.txt", 100));

    // A relative name is taken from where the program stands.
    ASSERT_EQ(chdir("/tmp"), 0);
    DataFolder relative;
    EXPECT_EQ(openDemoFolder(dir_.substr(5), false, relative), "");
    EXPECT_EQ(relative.root(), dir_);
}

TEST_F(DemoFolderTest, EmptyNameMeansTheCurrentFolder)
{
    writeFile("script.txt");
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    DataFolder folder;
    EXPECT_EQ(openDemoFolder("", false, folder), "");
    EXPECT_EQ(folder.root(), dir_);
}

TEST_F(DemoFolderTest, AFolderThatCannotBeEnteredIsReportedByName)
{
    writeFile("script.txt");
    const std::string file = dir_ + "/script.txt";
    EXPECT_EQ(open(file), "can't open the demo folder \"" + file + "\": Not a directory");
    const std::string missing = dir_ + "/no-such-show";
    EXPECT_EQ(open(missing), "can't open the demo folder \"" + missing + "\": No such file or directory");
}

TEST_F(DemoFolderTest, MissingScriptIsReportedWithTheFolder)
{
    const std::string message = open(dir_);
    EXPECT_NE(message.find("script.txt"), std::string::npos) << message;
    EXPECT_NE(message.find(dir_), std::string::npos) << message;

    ASSERT_EQ(chdir(dir_.c_str()), 0);
    const std::string here = open("");
    EXPECT_NE(here.find(dir_), std::string::npos) << here;
}

TEST_F(DemoFolderTest, ScriptThatIsAFolderCannotBeRead)
{
    ASSERT_EQ(mkdir((dir_ + "/script.txt").c_str(), 0755), 0);
    const std::string message = open(dir_);
    EXPECT_NE(message.find(dir_), std::string::npos) << message;
}

TEST_F(DemoFolderTest, ScriptThatIsAFifoIsReportedWithoutWaiting)
{
    ASSERT_EQ(mkfifo((dir_ + "/script.txt").c_str(), 0644), 0);
    const std::string message = open(dir_);
    EXPECT_NE(message.find("FIFO"), std::string::npos) << message;
}

TEST_F(DemoFolderTest, ScriptLinkedFromOutsideIsReadOnlyWhenAllowed)
{
    const std::string outside = dir_ + "-outside.txt";
    std::FILE* file = std::fopen(outside.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    ASSERT_EQ(symlink(outside.c_str(), (dir_ + "/script.txt").c_str()), 0);

    const std::string message = open(dir_);
    EXPECT_NE(message.find("outside the demo folder"), std::string::npos) << message;
    EXPECT_EQ(open(dir_, true), "");
    std::remove(outside.c_str());
}

TEST_F(DemoFolderTest, TheBundledShowIsFoundBesideTheProgramFirstThenUnderTheBuiltPrefix)
{
    struct Case {
        const char* name;
        std::vector<std::string> shows; // folders given a script.txt
        std::vector<std::string> emptyFolders;
        std::string program; // under the folder; "" for a bare name, as found on the PATH
        std::string installed;
        std::string expected;
    };
    const std::string installed = "prefix/share/taldrex/show";
    const std::vector<Case> cases = {
        {"unpacked package", {"usr/share/taldrex/show", installed}, {}, "usr/bin/taldrex", installed,
         "usr/bin/../share/taldrex/show"},
        {"build tree", {"build/show"}, {}, "build/src/taldrex", installed, "build/src/../show"},
        {"beside the program before the prefix it stands in", {"bin/show", "share/taldrex/show"}, {},
         "bin/taldrex", installed, "bin/show"},
        {"a show folder without its script is passed over", {"usr/share/taldrex/show"}, {"usr/bin/show"},
         "usr/bin/taldrex", installed, "usr/bin/../share/taldrex/show"},
        {"nothing beside the program", {installed}, {}, "elsewhere/bin/taldrex", installed, installed},
        {"a bare program name says nothing of where it lies", {"show", installed}, {}, "", installed, installed},
        {"nowhere", {}, {}, "usr/bin/taldrex", installed, ""},
        {"nowhere, no built prefix", {}, {}, "usr/bin/taldrex", "", ""},
    };
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& show : c.shows) {
            ASSERT_TRUE(std::filesystem::create_directories(show) || std::filesystem::is_directory(show));
            writeFile(show + "/script.txt");
        }
        for (const std::string& folder : c.emptyFolders)
            ASSERT_TRUE(std::filesystem::create_directories(folder));
        if (!c.program.empty()) {
            std::filesystem::create_directories(std::filesystem::path(c.program).parent_path());
            writeFile(c.program);
        }
        const std::string program = c.program.empty() ? "taldrex" : dir_ + "/" + c.program;
        const std::string expected = c.expected.empty() ? "" : dir_ + "/" + c.expected;
        EXPECT_EQ(FindBundledShow(program, c.installed.empty() ? "" : dir_ + "/" + c.installed), expected);
        for (const char* top : {"usr", "build", "bin", "share", "prefix", "elsewhere", "show"})
            std::filesystem::remove_all(top);
    }
}

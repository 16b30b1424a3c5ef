#include "desktop/child_process.h"
#include "desktop/stop_signals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ChildProcessTest : public testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        startDir_ = cwd;
        char pattern[] = "/tmp/taldrex-child-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        ASSERT_EQ(chdir(startDir_.c_str()), 0);
        fs::remove_all(dir_);
    }

    void writeFile(const std::string& path, const std::string& text, mode_t mode)
    {
        std::ofstream(path) << text;
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }

    std::string startDir_;
    std::string dir_;
};

std::string programPath(const char* name)
{
    const std::string path = FindProgram(name, std::getenv("PATH"));
    EXPECT_FALSE(path.empty()) << name << " is not on PATH";
    return path;
}

} // namespace

TEST_F(ChildProcessTest, FindsOnlyExecutableFilesInAbsoluteDirectories)
{
    fs::create_directories(dir_ + "/bin");
    writeFile(dir_ + "/bin/tool", "", 0755);
    writeFile(dir_ + "/bin/plain", "", 0644);
    writeFile(dir_ + "/tool", "", 0755);
    fs::create_directories(dir_ + "/bin/folder");

    EXPECT_EQ(FindProgram("tool", ("/nonexistent:" + dir_ + "/bin").c_str()), dir_ + "/bin/tool");
    EXPECT_EQ(FindProgram("tool", (dir_ + "/bin/").c_str()), dir_ + "/bin/tool");
    EXPECT_EQ(FindProgram("plain", (dir_ + "/bin").c_str()), "");
    EXPECT_EQ(FindProgram("folder", (dir_ + "/bin").c_str()), "");
    EXPECT_EQ(FindProgram("", (dir_ + "/bin").c_str()), "");
    EXPECT_EQ(FindProgram("bin/tool", dir_.c_str()), "");
    EXPECT_FALSE(FindProgram("sh", nullptr).empty());

    // The player works inside a stranger's demo folder: "." or an empty entry of PATH
    // must not find a program placed there.
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    EXPECT_EQ(FindProgram("tool", ".:bin::"), "");
    EXPECT_EQ(FindProgram("tool", ""), "");
}

TEST_F(ChildProcessTest, RunsInItsOwnProcessGroupAndIsNeverLeftBehind)
{
    pid_t pid = -1;
    {
        ChildProcess cat;
        ASSERT_TRUE(cat.start(programPath("cat"), {"cat"}, {}));
        pid = cat.pid();
        ASSERT_GT(pid, 0);
        // Ctrl-C at the terminal goes to the player's group only.
        EXPECT_EQ(getpgid(pid), pid);
        EXPECT_NE(getpgid(pid), getpgrp());
    }
    // Gone and reaped: no zombie, no orphan.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ChildProcessTest, ReportsExitStatusesAndFailuresToStart)
{
    ChildProcess fails;
    ASSERT_TRUE(fails.start(programPath("false"), {"false"}, {}));
    EXPECT_EQ(fails.finish(), 1);
    EXPECT_EQ(fails.finish(), -1);

    ChildProcess missing;
    errno = 0;
    EXPECT_FALSE(missing.start(dir_ + "/no-such-program", {"no-such-program"}, {}));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(missing.input(), nullptr);
}

// In a child of the test, as the handlers stay for the rest of the process.
TEST_F(ChildProcessTest, PassesOnASignalThatArrivesWhileItWaits)
{
    const std::string sleep = programPath("sleep");
    EXPECT_EXIT(
        {
            CatchStopSignals();
            ChildProcess ignoresInput;
            if (!ignoresInput.start(sleep, {"sleep", "30"}, {}))
                std::_Exit(2);
            std::thread signaller([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                kill(getpid(), SIGTERM);
            });
            // Without the signal passed on, sleep would end normally with status 0.
            const int status = ignoresInput.finish();
            signaller.join();
            std::_Exit(status == -1 && StopSignalStatus() == 143 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::optional<int> parse(std::vector<const char*> args, CommandLine& options)
{
    args.insert(args.begin(), "taldrex");
    return parseCommandLine(static_cast<int>(args.size()), args.data(), options);
}

} // namespace

TEST(CommandLine, NoArgumentsAskInTheDialogForTheCurrentFolder)
{
    CommandLine options;
    EXPECT_FALSE(parse({}, options).has_value());
    EXPECT_EQ(options.displayMode, -1);
    EXPECT_EQ(options.demoDir, "");
    EXPECT_FALSE(options.noSound);
    EXPECT_FALSE(options.loop);
}

TEST(CommandLine, ModesNameTheDialogsFourChoices)
{
    const char* names[] = {"window", "640x480", "800x600", "1024x768"};
    for (int i = 0; i < 4; ++i) {
        CommandLine options;
        EXPECT_FALSE(parse({"--mode", names[i]}, options).has_value()) << names[i];
        EXPECT_EQ(options.displayMode, i) << names[i];
    }
    CommandLine options;
    EXPECT_FALSE(parse({"--mode=WINDOW"}, options).has_value());
    EXPECT_EQ(options.displayMode, 0);
}

TEST(CommandLine, FolderAndSwitches)
{
    CommandLine options;
    EXPECT_FALSE(parse({"--no-sound", "shows/first", "--loop", "--mode", "800x600"}, options).has_value());
    EXPECT_EQ(options.demoDir, "shows/first");
    EXPECT_TRUE(options.noSound);
    EXPECT_TRUE(options.loop);
    EXPECT_EQ(options.displayMode, 2);
}

TEST(CommandLine, UsageErrorsEndWithStatusTwo)
{
    for (std::vector<const char*> args : {std::vector<const char*>{"--mode", "1280x1024"},
                                          std::vector<const char*>{"--mode", "1"},
                                          std::vector<const char*>{"--mode"},
                                          std::vector<const char*>{"--fast"},
                                          std::vector<const char*>{"one", "two"}}) {
        CommandLine options;
        testing::internal::CaptureStderr();
        const std::optional<int> status = parse(args, options);
        const std::string printed = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(status.has_value()) << args[0];
        EXPECT_EQ(*status, 2) << args[0];
        EXPECT_FALSE(printed.empty()) << args[0];
    }
}

TEST(CommandLine, HelpAndVersionEndWithStatusZero)
{
    for (const char* flag : {"--help", "--version"}) {
        CommandLine options;
        testing::internal::CaptureStdout();
        const std::optional<int> status = parse({flag}, options);
        const std::string printed = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(status.has_value()) << flag;
        EXPECT_EQ(*status, 0) << flag;
        EXPECT_FALSE(printed.empty()) << flag;
    }
}

#include "player/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    for (std::vector<const char*> args : {std::vector<const char*>{"--mode", "1280x"},
                                          std::vector<const char*>{"--mode", "1280x720x2"},
                                          std::vector<const char*>{"--mode", "8x8"},
                                          std::vector<const char*>{"--mode", "fullscreen"},
                                          std::vector<const char*>{"--vsync", "maybe"},
                                          std::vector<const char*>{"--display", "-1"},
                                          std::vector<const char*>{"--audio-delay", "soon"},
                                          std::vector<const char*>{"--renderer", "vulkan"},
                                          std::vector<const char*>{"--renderer", ""},
                                          std::vector<const char*>{"--renderer"},
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

TEST(CommandLine, CaptureOptionsAndPathsFromTheStartingFolder)
{
    CommandLine options;
    EXPECT_FALSE(parse({"--capture", "frames", "--fps", "25", "--size", "320x180", "--from", "1000", "--to", "2000",
                        "--video", "out/show.mp4", "show"},
        options)
                     .has_value());
    // The player changes into the demo folder, so relative outputs are fixed first.
    EXPECT_EQ(options.capture.outputDir, (std::filesystem::current_path() / "frames").string());
    EXPECT_EQ(options.capture.videoFile, (std::filesystem::current_path() / "out/show.mp4").string());
    EXPECT_EQ(options.capture.fps, 25);
    EXPECT_EQ(options.capture.width, 320);
    EXPECT_EQ(options.capture.height, 180);
    EXPECT_EQ(options.capture.fromMs, 1000);
    EXPECT_EQ(options.capture.toMs, 2000);
    EXPECT_EQ(options.demoDir, "show");

    CommandLine bad;
    EXPECT_EQ(parse({"--capture", "frames", "--size", "320by180"}, bad), 2);
    for (const char* setting : {"--fps", "--from", "--to", "--crf", "--threads"}) {
        CommandLine orphan;
        EXPECT_EQ(parse({setting, "25"}, orphan), 2) << setting;
    }
    CommandLine check;
    EXPECT_FALSE(parse({"--check", "show"}, check).has_value());
    EXPECT_TRUE(check.check);
}

TEST(CommandLine, DesktopAndWindowSizesSkipTheDialog)
{
    CommandLine desktop;
    EXPECT_FALSE(parse({"--mode", "Desktop", "--display", "1"}, desktop).has_value());
    EXPECT_TRUE(desktop.desktop);
    EXPECT_EQ(desktop.displayMode, 0);
    EXPECT_EQ(desktop.display, 1);
    EXPECT_EQ(desktop.windowWidth, 0);

    // Any size the dialog does not offer is a window of that client size.
    CommandLine sized;
    EXPECT_FALSE(parse({"--mode", "1280x720"}, sized).has_value());
    EXPECT_FALSE(sized.desktop);
    EXPECT_EQ(sized.displayMode, 0);
    EXPECT_EQ(sized.windowWidth, 1280);
    EXPECT_EQ(sized.windowHeight, 720);

    // The dialog's own sizes keep meaning fullscreen at that mode.
    CommandLine classic;
    EXPECT_FALSE(parse({"--mode", "800x600"}, classic).has_value());
    EXPECT_EQ(classic.displayMode, 2);
    EXPECT_EQ(classic.windowWidth, 0);
    EXPECT_FALSE(classic.desktop);
}

TEST(CommandLine, VsyncIsOnAndTheDelayCoversTheDeviceBufferUnlessAsked)
{
    CommandLine defaults;
    EXPECT_FALSE(parse({}, defaults).has_value());
    EXPECT_TRUE(defaults.vsync);
    EXPECT_EQ(defaults.display, 0);
    EXPECT_EQ(defaults.audioDelayMs, -(1024 * 1000 / 44100));
    EXPECT_EQ(defaults.audioDelayMs, -23);

    CommandLine asked;
    EXPECT_FALSE(parse({"--vsync", "OFF", "--audio-delay", "-250"}, asked).has_value());
    EXPECT_FALSE(asked.vsync);
    EXPECT_EQ(asked.audioDelayMs, -250);
    EXPECT_EQ(asked.displayMode, -1); // the dialog still asks for the mode

    CommandLine ahead;
    EXPECT_FALSE(parse({"--audio-delay=120", "--vsync=on"}, ahead).has_value());
    EXPECT_EQ(ahead.audioDelayMs, 120);
    EXPECT_TRUE(ahead.vsync);
}

TEST(CommandLine, RendererIsGlUnlessAskedAndGoesToEveryKindOfRun)
{
    struct Case {
        std::vector<const char*> args;
        RendererKind renderer;
    };
    const Case cases[] = {
        {{}, RendererKind::Gl},
        {{"--renderer", "gles2"}, RendererKind::Gles2}, // the dialog's run
        {{"--renderer=GLES2", "--mode", "window"}, RendererKind::Gles2},
        {{"--mode", "desktop", "--renderer", "gl"}, RendererKind::Gl},
        {{"--author", "--renderer", "gles2"}, RendererKind::Gles2},
        {{"--renderer", "gles2", "--capture", "frames"}, RendererKind::Gles2},
        {{"--renderer", "gles2", "--video", "show.mp4"}, RendererKind::Gles2},
    };
    for (const Case& c : cases) {
        const std::string args = c.args.empty() ? "(none)" : c.args[0] + std::string(" ") + c.args.back();
        CommandLine options;
        EXPECT_FALSE(parse(c.args, options).has_value()) << args;
        EXPECT_EQ(options.renderer, c.renderer) << args;
        EXPECT_EQ(options.capture.renderer, c.renderer) << args;
    }

    CommandLine options;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse({"--renderer", "gles3"}, options), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("expected gl or gles2, got \"gles3\""), std::string::npos);
}

TEST(CommandLine, VideoAloneAndItsSettings)
{
    CommandLine options;
    EXPECT_FALSE(parse({"--video", "show.webm", "--fps", "60", "--size", "3840x2160", "--crf", "30", "--preset",
                        "veryslow", "--threads", "1"},
        options)
                     .has_value());
    EXPECT_TRUE(options.capture.wanted());
    EXPECT_TRUE(options.capture.outputDir.empty());
    EXPECT_EQ(options.capture.videoFile, (std::filesystem::current_path() / "show.webm").string());
    EXPECT_EQ(options.capture.crf, 30);
    EXPECT_EQ(options.capture.preset, "veryslow");
    EXPECT_EQ(options.capture.threads, 1);
    EXPECT_EQ(options.capture.fps, 60);

    CommandLine defaults;
    EXPECT_FALSE(parse({"--video", "show.mp4"}, defaults).has_value());
    EXPECT_EQ(defaults.capture.crf, 18);
    EXPECT_EQ(defaults.capture.preset, "medium");
    EXPECT_EQ(defaults.capture.threads, 0);

    // A video needs an even size up to 3840x2160 and a known quality and preset; frames
    // alone may be odd or larger.
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{{"--size", "321x180"},
             {"--size", "320x181"}, {"--size", "3842x2160"}, {"--size", "3840x2162"}, {"--crf", "52"},
             {"--crf", "-1"}, {"--preset", "fastest"}, {"--threads", "0"}}) {
        CommandLine refused;
        args.insert(args.begin(), {"--video", "show.mp4"});
        testing::internal::CaptureStderr();
        EXPECT_EQ(parse(args, refused), 2) << args[2] << " " << args[3];
        testing::internal::GetCapturedStderr();
    }
    CommandLine frames;
    EXPECT_FALSE(parse({"--capture", "frames", "--size", "321x4000"}, frames).has_value());
}

TEST(CommandLine, AuthorModeOpensAWindowWithoutTheDialogUnlessAModeIsGiven)
{
    CommandLine options;
    EXPECT_FALSE(parse({"--author", "--no-sound", "--loop", "show"}, options).has_value());
    EXPECT_TRUE(options.author);
    EXPECT_EQ(options.displayMode, 0);
    EXPECT_EQ(options.windowWidth, 0);
    EXPECT_TRUE(options.noSound);
    EXPECT_TRUE(options.loop);
    EXPECT_EQ(options.demoDir, "show");

    CommandLine sized;
    EXPECT_FALSE(parse({"--author", "--mode", "1280x720"}, sized).has_value());
    EXPECT_EQ(sized.windowWidth, 1280);

    CommandLine plain;
    EXPECT_FALSE(parse({"--mode", "window"}, plain).has_value());
    EXPECT_FALSE(plain.author);

    for (std::vector<const char*> args : {std::vector<const char*>{"--author", "--check"},
                                          std::vector<const char*>{"--author", "--capture", "frames"},
                                          std::vector<const char*>{"--author", "--video", "show.mp4"}}) {
        CommandLine refused;
        testing::internal::CaptureStderr();
        const std::optional<int> status = parse(args, refused);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, std::optional<int>(2)) << args[1];
        EXPECT_NE(printed.find("--author"), std::string::npos) << printed;
    }
}

TEST(CommandLine, ScreenshotsGoToAnExistingFolderFromTheStartingFolderInAWindowRunOnly)
{
    CommandLine plain;
    EXPECT_FALSE(parse({"--mode", "window"}, plain).has_value());
    EXPECT_EQ(plain.screenshotDir, "");

    const std::string here = std::filesystem::current_path().string();
    for (const char* mode : {"--author", "--mode=window"}) {
        CommandLine options;
        EXPECT_FALSE(parse({mode, "--screenshot-dir", "."}, options).has_value()) << mode;
        EXPECT_EQ(std::filesystem::path(options.screenshotDir), std::filesystem::absolute(".")) << mode;
        EXPECT_EQ(options.screenshotDir.rfind(here, 0), 0u) << options.screenshotDir;
    }

    const struct {
        std::vector<const char*> args;
        const char* said;
    } refused[] = {
        {{"--screenshot-dir", "no such folder"}, "\"no such folder\" is not a folder"},
        {{"--screenshot-dir", "/dev/null"}, "is not a folder"},
        {{"--screenshot-dir", ".", "--check"}, "not with --check"},
        {{"--screenshot-dir", ".", "--capture", "frames"}, "not with --capture or --video"},
        {{"--screenshot-dir"}, "--screenshot-dir"},
    };
    for (const auto& c : refused) {
        CommandLine options;
        testing::internal::CaptureStderr();
        const std::optional<int> status = parse(c.args, options);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, std::optional<int>(2)) << c.said;
        EXPECT_NE(printed.find(c.said), std::string::npos) << printed;
    }
}

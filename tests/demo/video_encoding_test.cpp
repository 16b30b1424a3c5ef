#include "demo/video_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The value after the first occurrence of option in args, or "" when absent.
std::string valueOf(const std::vector<std::string>& args, const std::string& option)
{
    const auto found = std::find(args.begin(), args.end(), option);
    return found == args.end() || found + 1 == args.end() ? std::string() : *(found + 1);
}

bool has(const std::vector<std::string>& args, const std::string& item)
{
    return std::find(args.begin(), args.end(), item) != args.end();
}

} // namespace

TEST(VideoEncoding, ContainerByExtensionInAnyCase)
{
    EXPECT_EQ(ContainerOf("/out/show.mkv"), VideoContainer::Matroska);
    EXPECT_EQ(ContainerOf("/out/show.MKV"), VideoContainer::Matroska);
    EXPECT_EQ(ContainerOf("/out/show.WebM"), VideoContainer::WebM);
    EXPECT_EQ(ContainerOf("/out/show.mp4"), VideoContainer::Mp4);
    // Anything else is MP4, whatever muxer ffmpeg would guess from the name.
    EXPECT_EQ(ContainerOf("/out/show.m3u8"), VideoContainer::Mp4);
    EXPECT_EQ(ContainerOf("/out/mkv"), VideoContainer::Mp4);
    EXPECT_EQ(ContainerOf("/out/show.webm.mp4"), VideoContainer::Mp4);
}

TEST(VideoEncoding, CodecsQualityAndFormatPerContainer)
{
    VideoSettings settings;
    settings.file = "/out/show.m3u8";
    settings.crf = 23;
    settings.preset = "veryfast";
    std::vector<std::string> args = VideoArguments(settings);
    EXPECT_EQ(args.front(), "ffmpeg");
    EXPECT_EQ(args.back(), "/out/show.m3u8");
    EXPECT_EQ(valueOf(args, "-c:v"), "libx264");
    EXPECT_EQ(valueOf(args, "-crf"), "23");
    EXPECT_EQ(valueOf(args, "-preset"), "veryfast");
    EXPECT_EQ(valueOf(args, "-movflags"), "+faststart");
    EXPECT_EQ(valueOf(args, "-f"), "rawvideo");
    EXPECT_EQ(args[args.size() - 2], "mp4");
    // No soundtrack: no second input, no audio codec.
    EXPECT_FALSE(has(args, "-c:a"));
    EXPECT_FALSE(has(args, "-ss"));

    settings.file = "/out/show.webm";
    settings.soundtrack = "/dev/fd/3";
    args = VideoArguments(settings);
    EXPECT_EQ(valueOf(args, "-c:v"), "libvpx-vp9");
    EXPECT_EQ(valueOf(args, "-c:a"), "libopus");
    EXPECT_EQ(valueOf(args, "-cpu-used"), "6");
    EXPECT_EQ(args[args.size() - 2], "webm");
    EXPECT_FALSE(has(args, "-movflags"));

    settings.file = "/out/show.mkv";
    args = VideoArguments(settings);
    EXPECT_EQ(valueOf(args, "-c:a"), "aac");
    EXPECT_EQ(args[args.size() - 2], "matroska");
}

TEST(VideoEncoding, SoundStartsAtTheFirstFrameAndLastsAsLongAsTheFrames)
{
    VideoSettings settings;
    settings.file = "/out/show.mp4";
    settings.soundtrack = "/dev/fd/3";
    settings.fps = 30;
    settings.firstFrame = 31; // 1.0333... s
    settings.frames = 100;
    std::vector<std::string> args = VideoArguments(settings);
    EXPECT_EQ(valueOf(args, "-ss"), "1.033333");
    EXPECT_EQ(valueOf(args, "-t"), "3.333333");
    EXPECT_EQ(valueOf(args, "-i"), "-");
    // The soundtrack is the second input and is cut after the options that apply to it.
    const auto sound = std::find(args.begin(), args.end(), "/dev/fd/3");
    ASSERT_NE(sound, args.end());
    EXPECT_EQ(*(sound - 1), "-i");
    EXPECT_LT(std::find(args.begin(), args.end(), "-t"), sound);
    EXPECT_TRUE(has(args, "-shortest"));

    settings.fps = 60;
    settings.firstFrame = 120;
    settings.frames = -1;
    args = VideoArguments(settings);
    EXPECT_EQ(valueOf(args, "-ss"), "2.000000");
    EXPECT_FALSE(has(args, "-t"));
}

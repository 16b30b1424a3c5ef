#include "demo/frame_pipeline.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int width = 8;
constexpr int height = 4;

// Fills a frame so that each row of each frame differs: byte = frame x 16 + row.
void fill(unsigned char* pixels, long long frame)
{
    for (int row = 0; row < height; ++row)
        for (int i = 0; i < width * 4; ++i)
            pixels[row * width * 4 + i] = static_cast<unsigned char>(frame * 16 + row);
}

std::string scratchDir()
{
    char pattern[] = "/tmp/taldrex-pipeline.XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "";
}

} // namespace

TEST(FramePipeline, VideoGetsEveryFrameInOrderTopRowFirstOnAnyThreadCount)
{
    for (int threads : {1, 2, 4}) {
        const std::string dir = scratchDir();
        ASSERT_FALSE(dir.empty());
        std::FILE* video = std::tmpfile();
        ASSERT_NE(video, nullptr);
        FrameOutputs outputs;
        outputs.width = width;
        outputs.height = height;
        outputs.frameDir = dir;
        outputs.video = video;
        outputs.videoName = "show.mp4";
        outputs.threads = threads;
        std::set<unsigned char*> buffers;
        {
            FramePipeline pipeline(outputs);
            ASSERT_TRUE(pipeline.start());
            for (long long frame = 5; frame < 25; ++frame) {
                unsigned char* pixels = pipeline.acquire();
                buffers.insert(pixels);
                fill(pixels, frame);
                pipeline.submit(frame, pixels);
            }
            pipeline.finish();
            EXPECT_FALSE(pipeline.failed());
            EXPECT_EQ(pipeline.framesWritten(), 20);
            EXPECT_GT(pipeline.frameBytes(), 20u * 50);
        }
        // A fixed set of buffers, however many frames pass.
        EXPECT_LE(buffers.size(), static_cast<size_t>(threads + 4)) << threads;

        std::fflush(video);
        std::rewind(video);
        std::vector<unsigned char> bytes(20 * width * height * 4 + 1);
        ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), video), bytes.size() - 1);
        std::fclose(video);
        for (int frame = 0; frame < 20; ++frame)
            for (int row = 0; row < height; ++row)
                EXPECT_EQ(bytes[static_cast<size_t>((frame * height + row) * width * 4)],
                    static_cast<unsigned char>((frame + 5) * 16 + height - 1 - row))
                    << "threads " << threads << " frame " << frame << " row " << row;
        EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/frame-000005.png"));
        EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/frame-000024.png"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 20);
        std::filesystem::remove_all(dir);
    }
}

TEST(FramePipeline, AVideoThatStopsReadingFailsNamingTheFileAndNothingHangs)
{
    std::signal(SIGPIPE, SIG_IGN);
    for (int threads : {1, 3}) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);
        FrameOutputs outputs;
        outputs.width = width;
        outputs.height = height;
        outputs.video = fdopen(ends[1], "w");
        outputs.videoName = "out/show.mp4";
        outputs.threads = threads;
        FramePipeline pipeline(outputs);
        ASSERT_TRUE(pipeline.start());
        // Frames handed over after the failure are dropped without blocking.
        for (long long frame = 0; frame < 40; ++frame) {
            unsigned char* pixels = pipeline.acquire();
            fill(pixels, frame);
            pipeline.submit(frame, pixels);
        }
        pipeline.finish();
        std::fclose(outputs.video);
        EXPECT_TRUE(pipeline.failed());
        EXPECT_NE(pipeline.failure().find("out/show.mp4: ffmpeg stopped taking frames"), std::string::npos)
            << pipeline.failure();
        EXPECT_LT(pipeline.framesWritten(), 40);
    }
}

TEST(FramePipeline, AFrameThatCannotBeWrittenNamesItsFile)
{
    FrameOutputs outputs;
    outputs.width = width;
    outputs.height = height;
    outputs.frameDir = "/nonexistent-taldrex-folder";
    outputs.threads = 2;
    FramePipeline pipeline(outputs);
    ASSERT_TRUE(pipeline.start());
    unsigned char* pixels = pipeline.acquire();
    fill(pixels, 7);
    pipeline.submit(7, pixels);
    pipeline.finish();
    EXPECT_TRUE(pipeline.failed());
    EXPECT_NE(pipeline.failure().find("/nonexistent-taldrex-folder/frame-000007.png: cannot write the frame"),
        std::string::npos) << pipeline.failure();
    EXPECT_EQ(pipeline.framesWritten(), 0);
}

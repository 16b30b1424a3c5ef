#include "audio/mp3_decoder.h"
#include "desktop/shell_probes.h"
#include "desktop/sound.h"
#include "support/tone_mp3.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One look at the clock, with what the device had taken just before and just after it.
struct Reading {
    double wallMs;
    int positionMs;
    long long consumedBefore, consumedAfter;
    int bufferFrames;
};

std::vector<Reading> watch(SoundStream* stream, double forMs)
{
    std::vector<Reading> readings;
    Clock::time_point start = Clock::now();
    while (millisecondsSince(start) < forMs) {
        Reading r;
        r.consumedBefore = SoundStreamFramesConsumed(stream);
        r.wallMs = millisecondsSince(start);
        r.positionMs = SoundStreamGetTime(stream);
        r.consumedAfter = SoundStreamFramesConsumed(stream);
        r.bufferFrames = SoundDeviceBufferFrames();
        readings.push_back(r);
        SDL_Delay(1);
    }
    return readings;
}

// Checks one stretch of playing: the clock never runs backwards, keeps real-time pace
// and sits within the device's buffer behind the samples the device has taken.
void expectClockFollowsDevice(const std::vector<Reading>& readings)
{
    std::vector<const Reading*> moving;
    for (size_t i = 0; i < readings.size(); ++i) {
        const Reading& r = readings[i];
        if (i > 0) {
            ASSERT_GE(r.positionMs, readings[i - 1].positionMs) << "at " << r.wallMs << " ms";
        }
        if (r.positionMs > 0)
            moving.push_back(&r);
        if (r.consumedBefore != r.consumedAfter)
            continue; // a callback came in between: no fixed point to compare with
        double consumedMs = r.consumedBefore * 1000.0 / 44100;
        double bufferMs = r.bufferFrames * 1000.0 / 44100;
        EXPECT_LE(r.positionMs, consumedMs) << "at " << r.wallMs << " ms";
        EXPECT_GE(r.positionMs, consumedMs - bufferMs - 1) << "at " << r.wallMs << " ms";
    }
    ASSERT_GT(moving.size(), 100u);

    // The straight line through the readings: its slope is the pace, and no reading
    // strays far from it.
    double n = double(moving.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Reading* r : moving) {
        sx += r->wallMs;
        sy += r->positionMs;
        sxx += r->wallMs * r->wallMs;
        sxy += r->wallMs * r->positionMs;
    }
    double pace = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    double offset = (sy - pace * sx) / n;
    double stray = 0;
    for (const Reading* r : moving)
        stray = std::max(stray, std::abs(r->positionMs - (offset + pace * r->wallMs)));
    // The disk device itself falls behind real time when the machine is busy, so the
    // clock is held to the device's pace rather than to the wall clock's.
    const Reading& first = *moving.front();
    const Reading& last = *moving.back();
    double devicePace = (last.consumedAfter - first.consumedBefore) * 1000.0 / 44100 / (last.wallMs - first.wallMs);
    std::printf("clock pace %.4f, device pace %.4f, largest stray from the line %.2f ms over %.0f ms\n", pace,
        devicePace, stray, last.wallMs - first.wallMs);
    // Consumed frames move a whole buffer at a time, so the device's own pace is known
    // only to one buffer over the stretch.
    double bufferMs = last.bufferFrames * 1000.0 / 44100;
    EXPECT_NEAR(pace / devicePace, 1.0, 0.02 + bufferMs / (last.wallMs - first.wallMs));
    EXPECT_LE(stray, 20.0 + bufferMs);
}

// Where played[from ...] stops matching expected[start ...]; played.size() when it never does.
size_t matchEnd(const std::vector<int16_t>& played, size_t from, const std::vector<int16_t>& expected, size_t start)
{
    size_t i = 0;
    while (from + i < played.size() && start + i < expected.size() && played[from + i] == expected[start + i])
        ++i;
    return from + i;
}

std::vector<int16_t> readSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The device is SDL's disk driver, which consumes samples in real time and writes them
// to a file, so what was played can be read back.
class Sound : public ::testing::Test {
protected:
    void SetUp() override
    {
        diskFile = TempPath("played.raw");
        mp3File = TempPath("tone.mp3");
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
        setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
    }
    void TearDown() override
    {
        SoundClose();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        unsetenv("SDL_DISKAUDIOFILE");
        std::filesystem::remove(diskFile);
        std::filesystem::remove(mp3File);
    }
    std::string diskFile, mp3File;
};

} // namespace

TEST_F(Sound, PlaysTheDecodedSamplesOnAClockThatFollowsTheDevice)
{
    ASSERT_TRUE(WriteToneMp3(mp3File, 44100, 2, 88200));
    DecodedAudio decoded;
    ASSERT_TRUE(DecodeMp3File(mp3File.c_str(), decoded));
    const std::vector<int16_t>& tone = decoded.samples;
    const int lengthMs = static_cast<int>(tone.size() / 2 * 1000 / 44100);

    ASSERT_TRUE(SoundSetOutput());
    ASSERT_TRUE(SoundInit(44100, 32));
    SoundStream* stream = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(SoundStreamGetTime(stream), 0);
    ASSERT_TRUE(SoundStreamPlay(stream));
    std::vector<Reading> fromStart = watch(stream, 700);
    expectClockFollowsDevice(fromStart);
    EXPECT_GT(fromStart.back().positionMs, 450); // the device may lag real time on a busy machine

    // Back to the beginning while playing: the clock restarts at once and runs on.
    ASSERT_TRUE(SoundStreamSetPosition(stream, 0));
    EXPECT_LT(SoundStreamGetTime(stream), 5);
    std::vector<Reading> again = watch(stream, 400);
    expectClockFollowsDevice(again);
    EXPECT_GT(again.back().positionMs, 200);
    EXPECT_LT(again.back().positionMs, 500);

    // Near the end: the clock counts up to the stream's length and stays there.
    const int tailMs = lengthMs - 150;
    ASSERT_TRUE(SoundStreamSetPosition(stream, tailMs));
    std::vector<Reading> tail = watch(stream, 300);
    for (size_t i = 1; i < tail.size(); ++i) {
        ASSERT_GE(tail[i].positionMs, tail[i - 1].positionMs);
    }
    EXPECT_EQ(tail.back().positionMs, lengthMs);
    SDL_Delay(50);
    EXPECT_EQ(SoundStreamGetTime(stream), lengthMs);
    SoundClose();

    // Played back exactly: silence until the start, the decoded stream up to the move
    // back, the stream from its start again, its tail, then silence.
    std::vector<int16_t> played = readSamples(diskFile);
    size_t at = 0;
    while (at < played.size() && played[at] == 0)
        ++at;
    size_t first = 0;
    while (first < tone.size() && tone[first] == 0)
        ++first;
    ASSERT_GE(at, first);
    at -= first;
    ASSERT_EQ(at % 2, 0u);
    size_t end = matchEnd(played, at, tone, 0);
    EXPECT_GE(end - at, 2u * 44100 * 450 / 1000);
    EXPECT_EQ((end - at) % 2, 0u);
    size_t restart = end;
    end = matchEnd(played, restart, tone, 0);
    EXPECT_GE(end - restart, 2u * 44100 * 200 / 1000);
    const size_t tailStart = 2 * (static_cast<size_t>(tailMs) * 44100 / 1000);
    size_t tailEnd = matchEnd(played, end, tone, tailStart);
    EXPECT_EQ(tailEnd - end, tone.size() - tailStart);
    while (tailEnd < played.size() && played[tailEnd] == 0)
        ++tailEnd;
    EXPECT_EQ(tailEnd, played.size());
}

TEST_F(Sound, APausedStreamIsSilentAndItsClockHoldsUntilItPlaysOn)
{
    ASSERT_TRUE(WriteToneMp3(mp3File, 44100, 2, 88200));
    ASSERT_TRUE(SoundSetOutput());
    ASSERT_TRUE(SoundInit(44100, 32));
    SoundStream* stream = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(SoundStreamPause(nullptr, true));
    ASSERT_TRUE(SoundStreamPlay(stream));
    SDL_Delay(300);
    ASSERT_TRUE(SoundStreamPause(stream, true));
    const int held = SoundStreamGetTime(stream);
    const long long consumed = SoundStreamFramesConsumed(stream);
    EXPECT_GT(held, 100);
    // The clock stops where the speaker is, which is never past what the device took.
    EXPECT_LE(held, consumed * 1000 / 44100);
    SDL_Delay(300);
    EXPECT_EQ(SoundStreamGetTime(stream), held);
    EXPECT_EQ(SoundStreamFramesConsumed(stream), consumed);

    // Moved while paused, then played on from there.
    ASSERT_TRUE(SoundStreamSetPosition(stream, 1000));
    EXPECT_EQ(SoundStreamGetTime(stream), 1000);
    ASSERT_TRUE(SoundStreamPause(stream, false));
    SDL_Delay(300);
    EXPECT_GT(SoundStreamGetTime(stream), 1100);
    EXPECT_GT(SoundStreamFramesConsumed(stream), 44100);
}

TEST_F(Sound, StreamsAtOtherRatesAreConvertedAndChannelsRunOut)
{
    ASSERT_TRUE(WriteToneMp3(mp3File, 22050, 1, 22050));
    ASSERT_TRUE(SoundInit(44100, 1));
    EXPECT_FALSE(SoundInit(44100, 1)) << "the device is already open";
    SoundStream* mono = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(mono, nullptr);
    // Moving past the end stops at the stream's length: one second, whatever its rate.
    ASSERT_TRUE(SoundStreamSetPosition(mono, 1 << 30));
    EXPECT_NEAR(SoundStreamGetTime(mono), 1000, 1);
    EXPECT_TRUE(SoundStreamSetPosition(mono, -5));
    EXPECT_EQ(SoundStreamGetTime(mono), 0);

    SoundStream* other = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(SoundStreamPlay(mono));
    EXPECT_TRUE(SoundStreamPlay(mono)) << "already on its channel";
    EXPECT_FALSE(SoundStreamPlay(other)) << "the only channel is taken";
}

TEST_F(Sound, AClosedStreamGivesItsChannelBack)
{
    ASSERT_TRUE(WriteToneMp3(mp3File, 22050, 1, 22050));
    ASSERT_TRUE(SoundInit(44100, 1));
    SoundStream* first = SoundStreamOpen(mp3File.c_str());
    SoundStream* second = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(SoundStreamPlay(first));
    EXPECT_FALSE(SoundStreamPlay(second)) << "the only channel is taken";

    // A soundtrack replaced while the show plays: the new stream takes the old one's place.
    SoundStreamClose(first);
    EXPECT_TRUE(SoundStreamPlay(second));
    SoundStreamClose(nullptr);
    SoundStreamClose(second);
    EXPECT_NE(SoundStreamOpen(mp3File.c_str()), nullptr) << "the device is still open";
}

TEST_F(Sound, MissingAndDamagedFilesFailOrPlayWithoutHarm)
{
    ASSERT_TRUE(SoundInit(44100, 32));
    EXPECT_EQ(SoundStreamOpen("/nonexistent/music.mp3"), nullptr);
    EXPECT_EQ(SoundStreamOpen(nullptr), nullptr);

    const std::string folder = std::string(TALDREX_SHARED_TESTDATA) + "/mp3/";
    std::vector<SoundStream*> streams;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".bit" && name != "l3-compl-cut.mp3")
            continue;
        if (SoundStream* stream = SoundStreamOpen(entry.path().c_str()))
            streams.push_back(stream);
    }
    ASSERT_GE(streams.size(), 10u);
    // All of them at once through the mixer, then each moved to its end.
    Clock::time_point start = Clock::now();
    for (SoundStream* stream : streams)
        EXPECT_TRUE(SoundStreamPlay(stream));
    SDL_Delay(150);
    for (SoundStream* stream : streams) {
        int ms = SoundStreamGetTime(stream);
        EXPECT_GT(ms, 0);
        EXPECT_LE(ms, millisecondsSince(start));
        ASSERT_TRUE(SoundStreamSetPosition(stream, 1 << 30));
        EXPECT_GE(SoundStreamGetTime(stream), ms);
    }
    SDL_Delay(50);
    SoundClose();
    EXPECT_GT(std::filesystem::file_size(diskFile), 0u);
}

TEST_F(Sound, SpecialFilesAreRefusedAtOnce)
{
    ASSERT_TRUE(SoundInit(44100, 32));
    EXPECT_EQ(SoundStreamOpen("/dev/zero"), nullptr);
    EXPECT_EQ(SoundStreamOpen(std::filesystem::temp_directory_path().c_str()), nullptr);

    const std::string fifo = TempPath("music.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return SoundStreamOpen(fifo.c_str()); });
    const bool answered = opening.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
    if (!answered) {
        // A writer that comes and goes releases a reader waiting on the FIFO.
        int fd = open(fifo.c_str(), O_WRONLY);
        if (fd >= 0)
            close(fd);
    }
    EXPECT_TRUE(answered) << "opening a FIFO waited for a writer";
    EXPECT_EQ(opening.get(), nullptr);
    std::filesystem::remove(fifo);
}

TEST(SoundWithoutDevice, StartUpFailsCleanlyAndEveryCallIsSafe)
{
    SoundClose();
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "no-such-driver");
    EXPECT_FALSE(SoundSetOutput());
    EXPECT_FALSE(SoundInit(44100, 32));
    std::string music = std::string(TALDREX_SHARED_TESTDATA) + "/mp3/l3-sin1k0db.bit";
    EXPECT_EQ(SoundStreamOpen(music.c_str()), nullptr);
    EXPECT_FALSE(SoundStreamPlay(nullptr));
    EXPECT_EQ(SoundStreamGetTime(nullptr), 0);
    EXPECT_FALSE(SoundStreamSetPosition(nullptr, 0));
    EXPECT_EQ(SoundStreamFramesConsumed(nullptr), 0);
    EXPECT_EQ(SoundDeviceBufferFrames(), 0);
    SoundClose();
    SoundClose();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);

    EXPECT_FALSE(SoundInit(0, 32));
    EXPECT_FALSE(SoundInit(44100, 0));
    SoundClose();
}

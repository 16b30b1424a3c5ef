// Ten megabytes of the smallest silent MP3 frames decode to nearly three hours of sound:
// the sound layer plays that soundtrack, and --check measures it, in a bounded amount of
// memory.
#include "desktop/desktop_platform.h"
#include "heap_meter.h"
#include "support/gl_test_context.h"

#include "demo/check.h"
#include "demo/show.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr size_t FrameBytes = 24;
constexpr size_t SoundtrackBytes = size_t(10) << 20;
// 576 samples a frame at 24 kHz.
constexpr long long SoundtrackMs = static_cast<long long>(SoundtrackBytes / FrameBytes) * 576 * 1000 / 24000;
// What the player may hold for the soundtrack: its decoder, converter and slices.
constexpr size_t HeapBound = size_t(4) << 20;

// MPEG-2 Layer III frames at 24 kHz, 8 kbit/s, mono: a 4-byte header, then side information
// and main data all zero, which is a granule without a single coded bit, i.e. silence.
std::string silentFrames(size_t bytes)
{
    std::string frame(FrameBytes, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xF3);
    frame[2] = char(0x14);
    frame[3] = char(0xC0);
    std::string frames;
    frames.reserve(bytes);
    while (frames.size() + FrameBytes <= bytes)
        frames += frame;
    return frames;
}

class SilentSoundtrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("taldrex-soundtrack-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "data");
        music = (folder / "data" / "music.mp3").string();
        std::ofstream(music, std::ios::binary) << silentFrames(SoundtrackBytes);
    }
    void TearDown() override
    {
        SoundClose();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        unsetenv("SDL_DISKAUDIOFILE");
        fs::remove_all(folder);
    }
    fs::path folder;
    std::string music;
};

} // namespace

TEST_F(SilentSoundtrack, PlaysAndMovesAnywhereInBoundedMemory)
{
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    ASSERT_TRUE(SoundInit(44100, 32));

    HeapMeter meter;
    SoundStream* stream = SoundStreamOpen(music.c_str());
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(SoundStreamPlay(stream));
    SDL_Delay(200);
    EXPECT_GT(SoundStreamGetTime(stream), 0);
    // Its whole length is known from the start.
    ASSERT_TRUE(SoundStreamSetPosition(stream, INT_MAX));
    EXPECT_NEAR(SoundStreamGetTime(stream), SoundtrackMs, 1);
    const int middle = static_cast<int>(SoundtrackMs / 2);
    ASSERT_TRUE(SoundStreamSetPosition(stream, middle));
    SDL_Delay(100);
    EXPECT_GT(SoundStreamGetTime(stream), middle);
    EXPECT_LT(SoundStreamGetTime(stream), middle + 5000);
    ASSERT_TRUE(SoundStreamSetPosition(stream, 0));
    SDL_Delay(100);
    EXPECT_GT(SoundStreamGetTime(stream), 0);
    EXPECT_LT(SoundStreamGetTime(stream), 5000);
    const size_t rise = meter.rise();
    EXPECT_LE(rise, HeapBound);
    std::printf("[  figures ] %zu-byte soundtrack of %lld ms played: heap rise %zu bytes\n", SoundtrackBytes,
        SoundtrackMs, rise);
}

TEST_F(SilentSoundtrack, CheckMeasuresItsLengthInBoundedMemory)
{
    std::ofstream(folder / "script.txt", std::ios::binary)
        << "[mp3]\nmusic.mp3\n\n[part]\nnone.scn\n" << SoundtrackMs + 1000 << "\ncam\nstandard\nstandard\n";
    DataFolder checked;
    std::string problem;
    ASSERT_TRUE(checked.open(folder.string(), true, problem)) << problem;
    HeapMeter meter;
    std::vector<CheckProblem> problems = CheckDemoFolder(checked);
    const size_t rise = meter.rise();

    int late = 0;
    for (const CheckProblem& p : problems)
        if (p.problem.find("after the music (" + std::to_string(SoundtrackMs) + " ms)") != std::string::npos)
            ++late;
    EXPECT_EQ(late, 1);
    EXPECT_LE(rise, HeapBound);
    std::printf("[  figures ] %zu-byte soundtrack checked: heap rise %zu bytes\n", SoundtrackBytes, rise);
}

TEST_F(SilentSoundtrack, ASoundtrackListedManyTimesHoldsOneStream)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    ASSERT_TRUE(SoundInit(44100, 32));
    DataFolder shown;
    std::string problem;
    ASSERT_TRUE(shown.open(folder.string(), true, problem)) << problem;
    // The heap rise of loading a script that lists the soundtrack listings times.
    auto loadRise = [&](int listings) {
        std::string script = "[mp3]\n";
        for (int i = 0; i < listings; ++i)
            script += "music.mp3\n";
        std::ofstream(folder / "script.txt", std::ios::binary) << script;
        NoSound = 0;
        Show show(shown);
        HeapMeter meter;
        SoundStream* stream = nullptr;
        EXPECT_TRUE(show.LoadScript(Desktop(), stream));
        const size_t rise = meter.rise();
        EXPECT_NE(stream, nullptr);
        SoundStreamClose(stream);
        return rise;
    };
    loadRise(1); // the first load sets up what every load shares
    const size_t once = loadRise(1);
    const size_t often = loadRise(30);

    EXPECT_EQ(NoSound, 0);
    EXPECT_LE(often, once + (size_t(1) << 20));
    std::printf("[  figures ] a soundtrack listed once: heap rise %zu bytes, 30 times: %zu bytes\n", once, often);
}

#include "demo/delayed_clock.h"
#include "desktop/sound.h"
#include "support/tone_mp3.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

TEST(DelayedClock, ShiftsByExactlyTheDelayEitherWay)
{
    DelayedClock ahead(150);
    DelayedClock behind(-150);
    for (int music : {0, 16, 150, 151, 1000, 59999}) {
        EXPECT_EQ(ahead.read(music, false, 0), music + 150) << music;
        EXPECT_EQ(behind.read(music, false, 0), music < 150 ? 0 : music - 150) << music;
    }
}

TEST(DelayedClock, NeverRunsBackwardsUntilTheMusicRestarts)
{
    DelayedClock clock(-100);
    EXPECT_EQ(clock.read(50, false, 0), 0); // held on the first frame until the speaker plays
    EXPECT_EQ(clock.read(400, false, 0), 300);
    EXPECT_EQ(clock.read(380, false, 0), 300); // a music clock that steps back is not followed
    EXPECT_EQ(clock.read(420, false, 0), 320);
    clock.restart();
    EXPECT_EQ(clock.read(120, false, 0), 20);
}

TEST(DelayedClock, APictureHeldBackReachesTheMusicsEndInRealTime)
{
    DelayedClock clock(-200);
    EXPECT_EQ(clock.read(4000, true, 10000), 3800);
    EXPECT_EQ(clock.read(4000, true, 10150), 3950);
    EXPECT_EQ(clock.read(4000, true, 10200), 4000);
    EXPECT_EQ(clock.read(4000, true, 99999), 4000);
    // The tick counter wrapping around does not throw the clock about.
    DelayedClock wrapped(-200);
    EXPECT_EQ(wrapped.read(4000, true, 0xFFFFFFF0u), 3800);
    EXPECT_EQ(wrapped.read(4000, true, 0x40u), 3880);

    // A picture shown early just stops with the music.
    DelayedClock ahead(200);
    EXPECT_EQ(ahead.read(4000, true, 10000), 4200);
    EXPECT_EQ(ahead.read(4000, true, 20000), 4200);
}

// The music clock of a real stream on SDL's disk audio device (which plays in real
// time into a file), read through the delay as the show reads it.
TEST(DelayedClock, FollowsAPlayingStreamShiftedByTheDelay)
{
    const std::string diskFile = TempPath("played.raw");
    const std::string mp3File = TempPath("tone.mp3");
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
    setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
    ASSERT_TRUE(WriteToneMp3(mp3File, 44100, 2, 22050));
    ASSERT_TRUE(SoundSetOutput());
    ASSERT_TRUE(SoundInit(SoundRate, 32));
    SoundStream* stream = SoundStreamOpen(mp3File.c_str());
    ASSERT_NE(stream, nullptr);

    DelayedClock ahead(80);
    DelayedClock behind(-80);
    EXPECT_FALSE(SoundStreamEnded(stream));
    ASSERT_TRUE(SoundStreamPlay(stream));
    int lastBehind = 0;
    const Uint32 start = SDL_GetTicks();
    while (!SoundStreamEnded(stream) && SDL_GetTicks() - start < 5000) {
        const int music = SoundStreamGetTime(stream);
        EXPECT_EQ(ahead.read(music, false, SDL_GetTicks()), music + 80);
        const int held = behind.read(music, false, SDL_GetTicks());
        EXPECT_EQ(held, std::max(lastBehind, music - 80));
        lastBehind = held;
        SDL_Delay(5);
    }
    ASSERT_TRUE(SoundStreamEnded(stream));
    SDL_Delay(100);
    // Once played out the music clock stands at the stream's end; the picture held back
    // starts from 80 ms before it and then catches up.
    const int end = SoundStreamGetTime(stream);
    EXPECT_GT(end, 400);
    DelayedClock late(-80);
    EXPECT_EQ(late.read(end, true, 1000), end - 80);
    EXPECT_EQ(late.read(SoundStreamGetTime(stream), true, 1080), end);

    SoundClose();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    unsetenv("SDL_DISKAUDIOFILE");
    std::filesystem::remove(diskFile);
    std::filesystem::remove(mp3File);
}

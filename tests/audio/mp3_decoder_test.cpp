#include "audio/mp3_decoder.h"
#include "support/tone_mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::string Mp3Data = std::string(TALDREX_SHARED_TESTDATA) + "/mp3/";

std::vector<int16_t> readPcm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> pcm(bytes.size() / 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return pcm;
}

// Largest difference between reference and decoded[skip ...], over the reference's length.
int largestDifference(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded, size_t skip)
{
    int largest = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        largest = std::max(largest, std::abs(int(reference[i]) - int(decoded[skip + i])));
    return largest;
}

} // namespace

TEST(Mp3Decoder, ConformanceStreamsMatchTheirReferenceDecodes)
{
    DecodedAudio audio;
    ASSERT_TRUE(DecodeMp3File((Mp3Data + "l3-compl.bit").c_str(), audio));
    EXPECT_EQ(audio.rate, 48000);
    EXPECT_EQ(audio.channels, 1);
    std::vector<int16_t> reference = readPcm(Mp3Data + "l3-compl.pcm");
    ASSERT_EQ(audio.samples.size(), reference.size());
    EXPECT_LE(largestDifference(reference, audio.samples, 0), 1);

    // This reference starts two MPEG frames (2 x 1152 samples per channel) into the stream.
    ASSERT_TRUE(DecodeMp3File((Mp3Data + "l3-sin1k0db.bit").c_str(), audio));
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    reference = readPcm(Mp3Data + "l3-sin1k0db.pcm");
    const size_t skip = 2 * 1152 * 2;
    ASSERT_EQ(audio.samples.size(), reference.size() + skip);
    EXPECT_LE(largestDifference(reference, audio.samples, skip), 1);
}

TEST(Mp3Decoder, TaggedFilesDecodeSampleExactAtTheirOwnRate)
{
    struct Case {
        int rate, channels, frames;
    };
    for (Case c : {Case{44100, 2, 44100 * 3 / 2}, Case{22050, 1, 22050}}) {
        SCOPED_TRACE(c.rate);
        std::string path = TempPath("tagged.mp3");
        ASSERT_TRUE(WriteToneMp3(path, c.rate, c.channels, c.frames));
        DecodedAudio audio;
        ASSERT_TRUE(DecodeMp3File(path.c_str(), audio));
        std::filesystem::remove(path);
        EXPECT_EQ(audio.rate, c.rate);
        EXPECT_EQ(audio.channels, c.channels);
        // Encoder delay and padding trimmed: as many samples as went in, in step with them.
        ASSERT_EQ(audio.samples.size(), size_t(c.frames) * c.channels);
        std::vector<int16_t> tone = MakeTone(c.rate, c.channels, c.frames);
        double error = 0, signal = 0;
        for (size_t i = 0; i < tone.size(); ++i) {
            error += std::pow(double(audio.samples[i]) - tone[i], 2);
            signal += std::pow(double(tone[i]), 2);
        }
        EXPECT_LT(std::sqrt(error / signal), 0.1);
    }
}

TEST(Mp3Decoder, AStreamCutShortKeepsWhatCameBeforeTheCut)
{
    std::string path = TempPath("cut.mp3");
    ASSERT_TRUE(WriteToneMp3(path, 44100, 2, 44100));
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    DecodedAudio whole, cut;
    ASSERT_TRUE(DecodeMp3(bytes.data(), bytes.size(), whole));
    ASSERT_TRUE(DecodeMp3(bytes.data(), bytes.size() / 2 + 77, cut));
    EXPECT_GT(cut.samples.size(), whole.samples.size() / 3);
    EXPECT_LT(cut.samples.size(), whole.samples.size() * 2 / 3);
    EXPECT_TRUE(std::equal(cut.samples.begin(), cut.samples.begin() + cut.samples.size() / 2, whole.samples.begin()));
}

TEST(Mp3Decoder, AStreamChangingRatePartWayComesOutWholeAtItsFirstRate)
{
    // The 44.1 kHz stream l3-he_44khz (472320 samples) followed by the 48 kHz l3-he_48khz
    // (172800 samples): the second part is resampled rather than dropped.
    DecodedAudio audio;
    ASSERT_TRUE(DecodeMp3File((Mp3Data + "l3-nonstandard-he_44_48khz.bit").c_str(), audio));
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_NEAR(double(audio.samples.size()), 472320 + 172800 * 44100.0 / 48000, 50);
}

TEST(Mp3Decoder, MissingEmptyAndNonMp3InputFails)
{
    DecodedAudio audio;
    EXPECT_FALSE(DecodeMp3File((Mp3Data + "no-such-file.mp3").c_str(), audio));
    EXPECT_FALSE(DecodeMp3File(nullptr, audio));
    EXPECT_FALSE(DecodeMp3File(Mp3Data.c_str(), audio));
    EXPECT_FALSE(DecodeMp3File("/dev/zero", audio));
    EXPECT_FALSE(DecodeMp3(nullptr, 0, audio));
    const unsigned char text[] = "script.txt is not an MP3 file, whatever its name says";
    EXPECT_FALSE(DecodeMp3(text, sizeof text, audio));
    EXPECT_TRUE(audio.samples.empty());
}

TEST(Mp3Stream, TheScannedLengthIsWhatDecodesAndSeekingReplaysTheSameSamples)
{
    const std::string tagged = TempPath("tagged.mp3");
    ASSERT_TRUE(WriteToneMp3(tagged, 22050, 1, 22050 * 2));
    for (const std::string& path : {tagged, Mp3Data + "l3-compl.bit", Mp3Data + "l3-sin1k0db.bit"}) {
        SCOPED_TRACE(path);
        DecodedAudio whole;
        ASSERT_TRUE(DecodeMp3File(path.c_str(), whole));
        const size_t channels = static_cast<size_t>(whole.channels);
        const long long frames = static_cast<long long>(whole.samples.size() / channels);

        Mp3Stream stream;
        ASSERT_TRUE(stream.open(DataFolder().openFile(path, SoundtrackFileLimit)));
        EXPECT_EQ(stream.length(), frames);
        std::vector<int16_t> read(whole.samples.size() + 2 * channels);
        EXPECT_EQ(stream.read(read.data(), static_cast<size_t>(frames) + 2), static_cast<size_t>(frames));
        EXPECT_EQ(stream.read(read.data(), 1), 0u) << "an ended stream stays ended";
        // Back into the middle and to the start, as the show's loop and an author moving
        // through the show do. The start replays exactly; elsewhere the synthesis filter
        // starts afresh and may round a sample the other way.
        for (long long at : {frames / 2 + 7, 0LL}) {
            ASSERT_TRUE(stream.seek(at));
            const size_t count = static_cast<size_t>(std::min(frames - at, 4096LL));
            std::vector<int16_t> again(count * channels);
            ASSERT_EQ(stream.read(again.data(), count), count);
            EXPECT_LE(largestDifference(again, whole.samples, static_cast<size_t>(at) * channels), at == 0 ? 0 : 1)
                << "from frame " << at;
        }
    }
    std::filesystem::remove(tagged);
}

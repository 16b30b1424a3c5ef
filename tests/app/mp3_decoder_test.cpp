#include "app/mp3_decoder.h"
#include "tone_mp3.h"

#include <gtest/gtest.h>

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

TEST(Mp3Decoder, DamagedAndUnusualStreamsFailOrDecodeToWholeFrames)
{
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Mp3Data)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".bit" && name != "l3-compl-cut.mp3")
            continue;
        SCOPED_TRACE(name);
        DecodedAudio audio;
        if (DecodeMp3File(entry.path().c_str(), audio)) {
            ++decoded;
            EXPECT_TRUE(audio.rate >= 8000 && audio.rate <= 48000);
            EXPECT_TRUE(audio.channels == 1 || audio.channels == 2);
            EXPECT_FALSE(audio.samples.empty());
            EXPECT_EQ(audio.samples.size() % audio.channels, 0u);
        } else {
            EXPECT_EQ(audio.rate, 0);
            EXPECT_TRUE(audio.samples.empty());
        }
    }
    EXPECT_GE(decoded, 10);

    // A stream that changes rate part-way comes out whole at its first rate.
    DecodedAudio audio;
    ASSERT_TRUE(DecodeMp3File((Mp3Data + "l3-nonstandard-he_44_48khz.bit").c_str(), audio));
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_GT(audio.samples.size(), 472320u);
}

TEST(Mp3Decoder, MissingEmptyAndNonMp3InputFails)
{
    DecodedAudio audio;
    EXPECT_FALSE(DecodeMp3File((Mp3Data + "no-such-file.mp3").c_str(), audio));
    EXPECT_FALSE(DecodeMp3File(nullptr, audio));
    EXPECT_FALSE(DecodeMp3File(Mp3Data.c_str(), audio));
    EXPECT_FALSE(DecodeMp3(nullptr, 0, audio));
    const unsigned char text[] = "script.txt is not an MP3 file, whatever its name says";
    EXPECT_FALSE(DecodeMp3(text, sizeof text, audio));
    EXPECT_TRUE(audio.samples.empty());
}

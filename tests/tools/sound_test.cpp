// The sound building blocks and the MP3 encoder, on short test signals.
#include "media_decoding.h"

#include "mp3_encoder.h"
#include "synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

using synth::SampleRate;

namespace {

double rms(const std::vector<float>& v, size_t from)
{
    double sum = 0.0;
    for (size_t i = from; i < v.size(); ++i) {
        sum += double(v[i]) * v[i];
    }
    return std::sqrt(sum / double(v.size() - from));
}

// A second of a sine at hz through a lowpass filter with the given cutoff; returns the
// output's level relative to the input's.
double lowpassGain(double hz, double cutoff)
{
    synth::Filter filter;
    filter.setCutoff(cutoff, 0.707);
    synth::Oscillator source;
    std::vector<float> in;
    std::vector<float> out;
    for (int i = 0; i < SampleRate; ++i) {
        float s = source.sine(hz);
        in.push_back(s);
        out.push_back(filter.process(s).low);
    }
    return rms(out, SampleRate / 10) / rms(in, SampleRate / 10);
}

} // namespace

TEST(Synth, NoteNumbersFollowEqualTemperament)
{
    EXPECT_DOUBLE_EQ(synth::noteFrequency(69), 440.0);
    EXPECT_DOUBLE_EQ(synth::noteFrequency(57), 220.0);
    EXPECT_DOUBLE_EQ(synth::noteFrequency(81), 880.0);
    EXPECT_NEAR(synth::noteFrequency(72), 523.251, 0.001);
}

TEST(Synth, RandomRepeatsForTheSameSeedAndStaysInRange)
{
    synth::Random a(42);
    synth::Random b(42);
    synth::Random c(43);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        float x = a.uniform();
        EXPECT_EQ(x, b.uniform());
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 1.0f);
        differs = differs || x != c.uniform();
    }
    EXPECT_TRUE(differs);
    // A zero seed would stick at zero for ever; it is replaced.
    synth::Random zero(0);
    EXPECT_NE(zero.next(), 0u);
}

TEST(Synth, WaveformsAreBoundedAndCentred)
{
    for (double width : {0.5, 0.25, 0.35}) {
        synth::Oscillator saw;
        synth::Oscillator pulse;
        double sawSum = 0.0;
        double pulseSum = 0.0;
        for (int i = 0; i < SampleRate; ++i) {
            float s = saw.saw(441.0);
            float p = pulse.pulse(441.0, width);
            ASSERT_LE(std::fabs(s), 1.05f);
            ASSERT_LE(std::fabs(p), 2.05f);
            sawSum += s;
            pulseSum += p;
        }
        EXPECT_NEAR(sawSum / SampleRate, 0.0, 0.01);
        EXPECT_NEAR(pulseSum / SampleRate, 0.0, 0.01) << "width " << width;
    }
}

TEST(Synth, LowpassPassesLowNotesAndRemovesHighOnes)
{
    EXPECT_GT(lowpassGain(100.0, 1000.0), 0.95);
    EXPECT_LT(lowpassGain(8000.0, 1000.0), 0.03);
    // Cutoffs beyond what the sample rate can hold are clamped, not unstable.
    EXPECT_LT(lowpassGain(1000.0, 1e6), 1.5);
}

TEST(Synth, PingPongEchoesAlternateSidesAndDieAway)
{
    const double delay = 0.1;
    size_t step = size_t(delay * SampleRate);
    synth::StereoBuffer impulse(step * 5);
    impulse.left[0] = 1.0f;
    impulse.right[0] = 1.0f;
    synth::StereoBuffer echoes = synth::pingPongEcho(impulse, delay, 0.5f, 0.0f);
    EXPECT_EQ(echoes.left[0], 0.0f);
    EXPECT_FLOAT_EQ(echoes.left[step], 1.0f);
    EXPECT_EQ(echoes.right[step], 0.0f);
    EXPECT_FLOAT_EQ(echoes.right[2 * step], 0.5f);
    EXPECT_FLOAT_EQ(echoes.left[3 * step], 0.25f);
}

TEST(Synth, PanningKeepsPowerAndCentreLevel)
{
    synth::Pan centre(0.0f);
    EXPECT_NEAR(centre.left, 1.0f, 1e-6f);
    EXPECT_NEAR(centre.right, 1.0f, 1e-6f);
    synth::Pan hardLeft(-1.0f);
    EXPECT_NEAR(hardLeft.right, 0.0f, 1e-6f);
    synth::Pan somewhere(0.3f);
    EXPECT_NEAR(somewhere.left * somewhere.left + somewhere.right * somewhere.right, 2.0f, 1e-5f);
    EXPECT_GT(somewhere.right, somewhere.left);
}

TEST(Mp3Encoder, ASineComesBackWithItsExactLengthAndPitch)
{
    std::vector<int16_t> samples;
    for (int i = 0; i < SampleRate; ++i) {
        auto s = int16_t(std::lround(12000.0 * std::sin(2.0 * M_PI * 441.0 * i / SampleRate)));
        samples.push_back(s);
        samples.push_back(int16_t(-s));
    }
    std::string path = (std::filesystem::temp_directory_path() / "taldrex-encoder-test.mp3").string();
    std::string error;
    ASSERT_TRUE(writeMp3(path, samples, error)) << error;

    std::string bytes = readFile(path);
    // Without the tag in the first frame, decoders would keep the encoder's padding.
    EXPECT_NE(bytes.substr(0, 1024).find("LAME"), std::string::npos);
    DecodedSound sound = decodeMp3(path);
    std::remove(path.c_str());
    ASSERT_EQ(sound.rate, SampleRate);
    ASSERT_EQ(sound.channels, 2);
    ASSERT_EQ(sound.samples.size(), samples.size());

    int crossings = 0;
    double error2 = 0.0;
    for (size_t i = 2; i < sound.samples.size(); i += 2) {
        crossings += (sound.samples[i - 2] < 0) != (sound.samples[i] < 0);
        double d = double(sound.samples[i]) - samples[i];
        error2 += d * d;
        // The right channel is the left one inverted.
        EXPECT_NEAR(sound.samples[i + 1], -sound.samples[i], 400) << i;
    }
    EXPECT_NEAR(crossings, 882, 4);
    EXPECT_LT(std::sqrt(error2 / double(samples.size() / 2)), 120.0);
}

TEST(Mp3Encoder, AFileThatCannotBeWrittenIsAnErrorNamingIt)
{
    std::vector<int16_t> samples(2000, 0);
    std::string error;
    EXPECT_FALSE(writeMp3("/nonexistent-folder/music.mp3", samples, error));
    EXPECT_NE(error.find("/nonexistent-folder/music.mp3"), std::string::npos) << error;
}

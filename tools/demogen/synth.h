// Sound building blocks for the show's music: oscillators, filters, stereo buffers and
// the two effects (echo and reverb). Everything is plain arithmetic on doubles and floats,
// so the same program renders the same samples every time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

constexpr int SampleRate = 44100;

// Pseudo-random numbers from a fixed seed (xorshift32): the same seed, the same sequence.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    // The next raw 32-bit value.
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // A value in [0, 1).
    float uniform() { return float(next() >> 8) * (1.0f / 16777216.0f); }
    // A value in [-1, 1).
    float bipolar() { return uniform() * 2.0f - 1.0f; }

private:
    uint32_t state;
};

// Frequency in Hz of a note number (69 is A above middle C, 440 Hz; 12 per octave).
double noteFrequency(double note);

// A phase accumulator with band-limited waveforms; each call advances one sample.
class Oscillator {
public:
    explicit Oscillator(double startPhase = 0.0) : phase(startPhase) {}
    float sine(double hz);
    float saw(double hz);
    // A pulse wave; width is the high fraction of the period (0.5 gives a square).
    float pulse(double hz, double width);

private:
    double advance(double hz);
    double phase;
};

// Two-pole state-variable filter (trapezoidal integration, stable under fast sweeps).
class Filter {
public:
    struct Outputs {
        float low;
        float band;
        float high;
    };
    // resonance 0.5 is gentle; values towards 10 ring strongly.
    void setCutoff(double hz, double resonance);
    Outputs process(float in);

private:
    double a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 2.0;
    double ic1 = 0.0, ic2 = 0.0;
};

// Channel gains for a position from -1 (left) through 0 (centre) to 1 (right), with
// constant power, scaled so that a centred sound keeps its level in each channel.
struct Pan {
    explicit Pan(float position);
    float left;
    float right;
};

// Two channels of float samples at SampleRate.
struct StereoBuffer {
    explicit StereoBuffer(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
    // Adds v at frame i, spread over the channels by pan (frames past the end are dropped).
    void addPanned(size_t i, float v, const Pan& pan)
    {
        if (i < left.size()) {
            left[i] += v * pan.left;
            right[i] += v * pan.right;
        }
    }
    // Adds other, scaled by gain, frame by frame.
    void mix(const StereoBuffer& other, float gain);

    std::vector<float> left;
    std::vector<float> right;
};

// Echoes that bounce between the channels: delay in seconds, feedback per echo.
// Returns only the echoes (the dry signal is not included).
StereoBuffer pingPongEcho(const StereoBuffer& in, double delaySeconds, float feedback,
                          float damping);

// A room-like reverb tail of in (parallel damped combs, then all-passes per channel).
// Returns only the tail. roomSize and damping lie in [0, 1].
StereoBuffer reverb(const StereoBuffer& in, float roomSize, float damping);

} // namespace synth

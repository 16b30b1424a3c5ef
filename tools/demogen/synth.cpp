#include "synth.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

constexpr double Pi = 3.14159265358979323846;

// The correction that removes the step discontinuity's aliasing near a wrap of phase t
// (one sample wide on each side of the step; dt is the phase step per sample).
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// A feedback comb filter with a one-pole lowpass in the loop, as in classic room reverbs.
class Comb {
public:
    explicit Comb(size_t length) : buffer(length, 0.0f) {}
    float process(float in, float feedback, float damping)
    {
        float out = buffer[index];
        store = out * (1.0f - damping) + store * damping;
        buffer[index] = in + store * feedback;
        if (++index == buffer.size()) {
            index = 0;
        }
        return out;
    }

private:
    std::vector<float> buffer;
    size_t index = 0;
    float store = 0.0f;
};

// An all-pass diffuser: smears the comb echoes without colouring the tone much.
class AllPass {
public:
    explicit AllPass(size_t length) : buffer(length, 0.0f) {}
    float process(float in)
    {
        float delayed = buffer[index];
        buffer[index] = in + delayed * 0.5f;
        if (++index == buffer.size()) {
            index = 0;
        }
        return delayed - in;
    }

private:
    std::vector<float> buffer;
    size_t index = 0;
};

} // namespace

double noteFrequency(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

double Oscillator::advance(double hz)
{
    double current = phase;
    phase += hz / SampleRate;
    if (phase >= 1.0) {
        phase -= 1.0;
    }
    return current;
}

float Oscillator::sine(double hz)
{
    return float(std::sin(2.0 * Pi * advance(hz)));
}

float Oscillator::saw(double hz)
{
    double dt = hz / SampleRate;
    double t = advance(hz);
    return float(2.0 * t - 1.0 - polyBlep(t, dt));
}

float Oscillator::pulse(double hz, double width)
{
    double dt = hz / SampleRate;
    double t = advance(hz);
    double v = t < width ? 1.0 : -1.0;
    double falling = t - width;
    if (falling < 0.0) {
        falling += 1.0;
    }
    v += polyBlep(t, dt) - polyBlep(falling, dt);
    // Keep the average at zero whatever the width.
    return float(v + (1.0 - 2.0 * width));
}

void Filter::setCutoff(double hz, double resonance)
{
    hz = std::clamp(hz, 20.0, SampleRate * 0.45);
    double g = std::tan(Pi * hz / SampleRate);
    k = 1.0 / std::max(resonance, 0.05);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

Filter::Outputs Filter::process(float in)
{
    double v3 = in - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    return {float(v2), float(v1), float(in - k * v1 - v2)};
}

Pan::Pan(float position)
{
    double angle = (double(position) + 1.0) * Pi * 0.25;
    left = float(std::cos(angle) * std::sqrt(2.0));
    right = float(std::sin(angle) * std::sqrt(2.0));
}

void StereoBuffer::mix(const StereoBuffer& other, float gain)
{
    size_t n = std::min(frames(), other.frames());
    for (size_t i = 0; i < n; ++i) {
        left[i] += other.left[i] * gain;
        right[i] += other.right[i] * gain;
    }
}

StereoBuffer pingPongEcho(const StereoBuffer& in, double delaySeconds, float feedback,
                          float damping)
{
    size_t length = std::max<size_t>(1, size_t(delaySeconds * SampleRate));
    std::vector<float> lineLeft(length, 0.0f);
    std::vector<float> lineRight(length, 0.0f);
    float toneLeft = 0.0f;
    float toneRight = 0.0f;
    StereoBuffer out(in.frames());
    size_t index = 0;
    for (size_t i = 0; i < in.frames(); ++i) {
        float fromLeft = lineLeft[index];
        float fromRight = lineRight[index];
        out.left[i] = fromLeft;
        out.right[i] = fromRight;
        // Each echo comes back a little darker, as from a tape or a wall.
        toneLeft += (fromLeft - toneLeft) * (1.0f - damping);
        toneRight += (fromRight - toneRight) * (1.0f - damping);
        float mono = (in.left[i] + in.right[i]) * 0.5f;
        lineLeft[index] = mono + toneRight * feedback;
        lineRight[index] = toneLeft * feedback;
        if (++index == length) {
            index = 0;
        }
    }
    return out;
}

StereoBuffer reverb(const StereoBuffer& in, float roomSize, float damping)
{
    // Mutually prime lengths (at 44.1 kHz) so the echoes never line up; the right
    // channel's are a little longer for width.
    static const size_t combLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t allPassLengths[] = {556, 441, 341, 225};
    const size_t spread = 23;
    float feedback = 0.7f + roomSize * 0.28f;
    float damp = damping * 0.4f;

    std::vector<Comb> combsLeft;
    std::vector<Comb> combsRight;
    for (size_t length : combLengths) {
        combsLeft.emplace_back(length);
        combsRight.emplace_back(length + spread);
    }
    std::vector<AllPass> allPassLeft;
    std::vector<AllPass> allPassRight;
    for (size_t length : allPassLengths) {
        allPassLeft.emplace_back(length);
        allPassRight.emplace_back(length + spread);
    }

    StereoBuffer out(in.frames());
    for (size_t i = 0; i < in.frames(); ++i) {
        float input = (in.left[i] + in.right[i]) * 0.015f;
        float l = 0.0f;
        float r = 0.0f;
        for (size_t c = 0; c < combsLeft.size(); ++c) {
            l += combsLeft[c].process(input, feedback, damp);
            r += combsRight[c].process(input, feedback, damp);
        }
        for (size_t a = 0; a < allPassLeft.size(); ++a) {
            l = allPassLeft[a].process(l);
            r = allPassRight[a].process(r);
        }
        out.left[i] = l;
        out.right[i] = r;
    }
    return out;
}

} // namespace synth

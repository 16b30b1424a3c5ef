#include "instruments.h"

#include <algorithm>
#include <cmath>

using synth::Filter;
using synth::Oscillator;
using synth::Random;
using synth::SampleRate;
using synth::StereoBuffer;

namespace instruments {

namespace {

size_t framesOf(double seconds)
{
    return size_t(seconds * SampleRate);
}

// Attack, hold at full level, then release after the held length: a gate with soft edges.
float gateEnvelope(double t, double held, double attack, double release)
{
    if (t < attack) {
        return float(t / attack);
    }
    if (t < held) {
        return 1.0f;
    }
    double r = (t - held) / release;
    return r >= 1.0 ? 0.0f : float((1.0 - r) * (1.0 - r));
}

// Six square waves at inharmonic ratios: the metallic core of hats and cymbals.
class Metal {
public:
    float next()
    {
        static const double ratios[] = {1.0, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
        float sum = 0.0f;
        for (int i = 0; i < 6; ++i) {
            sum += oscillators[i].pulse(318.0 * ratios[i], 0.5);
        }
        return sum / 6.0f;
    }

private:
    Oscillator oscillators[6];
};

} // namespace

void kick(StereoBuffer& out, size_t start, float velocity)
{
    Oscillator body;
    Random noise(7);
    const synth::Pan place(0.0f);
    size_t length = framesOf(0.45);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        double hz = 45.0 + 110.0 * std::exp(-t * 28.0);
        float v = body.sine(hz) * float(std::exp(-t * 7.5));
        // Soft saturation thickens the body; the click gives it an edge on small speakers.
        v = std::tanh(v * 1.6f) / std::tanh(1.6f);
        if (t < 0.004) {
            v += noise.bipolar() * 0.3f * float(1.0 - t / 0.004);
        }
        float fadeOut = i + 200 > length ? float(length - i) / 200.0f : 1.0f;
        out.addPanned(start + i, v * velocity * fadeOut, place);
    }
}

void snare(StereoBuffer& out, size_t start, float velocity, uint32_t seed)
{
    Oscillator body;
    Random noise(seed);
    Filter band;
    band.setCutoff(2600.0, 0.7);
    Filter air;
    air.setCutoff(5200.0, 0.5);
    const synth::Pan place(-0.05f);
    size_t length = framesOf(0.32);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        float tone = body.sine(175.0 + 40.0 * std::exp(-t * 40.0)) * float(std::exp(-t * 28.0));
        float n = noise.bipolar();
        float hiss = band.process(n).band * 1.4f + air.process(n).band * 0.6f;
        float v = tone * 0.55f + hiss * float(std::exp(-t * 15.0)) * 0.8f;
        float fadeOut = i + 200 > length ? float(length - i) / 200.0f : 1.0f;
        out.addPanned(start + i, v * velocity * fadeOut, place);
    }
}

void hat(StereoBuffer& out, size_t start, float velocity, bool open, uint32_t seed)
{
    Metal metal;
    Random noise(seed);
    Filter high;
    high.setCutoff(7500.0, 0.8);
    // The top octave of raw noise only hisses; a gentle lowpass keeps the shimmer.
    Filter top;
    top.setCutoff(9000.0, 0.6);
    double decay = open ? 7.0 : 55.0;
    const synth::Pan place(0.25f);
    size_t length = framesOf(open ? 0.45 : 0.09);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        float raw = metal.next() * 0.6f + noise.bipolar() * 0.5f;
        float v = top.process(high.process(raw).high).low * float(std::exp(-t * decay));
        float fadeOut = i + 100 > length ? float(length - i) / 100.0f : 1.0f;
        out.addPanned(start + i, v * velocity * fadeOut, place);
    }
}

void crash(StereoBuffer& out, size_t start, float velocity, uint32_t seed)
{
    Metal metal;
    Random noiseLeft(seed);
    Random noiseRight(seed * 2654435761u + 1u);
    Filter highLeft;
    Filter highRight;
    highLeft.setCutoff(5200.0, 0.6);
    highRight.setCutoff(5200.0, 0.6);
    Filter topLeft;
    Filter topRight;
    topLeft.setCutoff(10000.0, 0.6);
    topRight.setCutoff(10000.0, 0.6);
    const synth::Pan leftSide(-1.0f);
    const synth::Pan rightSide(1.0f);
    size_t length = framesOf(2.4);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        float envelope = float(std::exp(-t * 1.9)) * std::min(1.0f, float(t / 0.002));
        float ring = metal.next() * 0.35f;
        float l = highLeft.process(ring + noiseLeft.bipolar() * 0.6f).high;
        float r = highRight.process(ring + noiseRight.bipolar() * 0.6f).high;
        l = topLeft.process(l).low * envelope;
        r = topRight.process(r).low * envelope;
        float fadeOut = i + 2000 > length ? float(length - i) / 2000.0f : 1.0f;
        out.addPanned(start + i, l * velocity * fadeOut, leftSide);
        out.addPanned(start + i, r * velocity * fadeOut, rightSide);
    }
}

void riser(StereoBuffer& out, size_t start, double seconds, float velocity, uint32_t seed)
{
    Random noiseLeft(seed);
    Random noiseRight(seed ^ 0x5bd1e995u);
    Filter left;
    Filter right;
    const synth::Pan leftSide(-0.7f);
    const synth::Pan rightSide(0.7f);
    size_t length = framesOf(seconds);
    for (size_t i = 0; i < length; ++i) {
        double x = double(i) / double(length);
        if (i % 32 == 0) {
            double hz = 300.0 * std::pow(20.0, x);
            left.setCutoff(hz, 2.5);
            right.setCutoff(hz * 1.05, 2.5);
        }
        float level = float(x * x) * velocity;
        out.addPanned(start + i, left.process(noiseLeft.bipolar()).band * level, leftSide);
        out.addPanned(start + i, right.process(noiseRight.bipolar()).band * level, rightSide);
    }
}

void bass(StereoBuffer& out, size_t start, double seconds, int note, float velocity,
          double brightness)
{
    double hz = synth::noteFrequency(note);
    Oscillator sawA;
    Oscillator sawB(0.31);
    Oscillator sub;
    Filter filter;
    double release = 0.04;
    const synth::Pan place(0.0f);
    size_t length = framesOf(seconds + release);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        if (i % 16 == 0) {
            double cutoff = (180.0 + 1500.0 * std::exp(-t * 11.0)) * brightness;
            filter.setCutoff(cutoff, 1.4);
        }
        float raw = sawA.saw(hz) + sawB.saw(hz * 1.004);
        float v = filter.process(raw * 0.5f).low + sub.sine(hz * 0.5) * 0.6f;
        v *= gateEnvelope(t, seconds, 0.003, release);
        out.addPanned(start + i, v * velocity, place);
    }
}

void pad(StereoBuffer& out, size_t start, double seconds, int note, float velocity,
         double cutoffStart, double cutoffEnd)
{
    double hz = synth::noteFrequency(note);
    // Detuned by about 9 cents either way; the outer voices go to the sides.
    Oscillator voices[3] = {Oscillator(0.0), Oscillator(0.37), Oscillator(0.71)};
    const double detune[3] = {0.9948, 1.0, 1.0052};
    Filter left;
    Filter right;
    double release = 1.1;
    size_t length = framesOf(seconds + release);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        if (i % 32 == 0) {
            double x = std::min(1.0, t / seconds);
            double cutoff = cutoffStart + (cutoffEnd - cutoffStart) * x;
            // A slow wobble keeps long chords alive.
            cutoff *= 1.0 + 0.12 * std::sin(t * 2.1 + note);
            left.setCutoff(cutoff, 0.8);
            right.setCutoff(cutoff * 1.03, 0.8);
        }
        float a = voices[0].saw(hz * detune[0]);
        float b = voices[1].saw(hz * detune[1]);
        float c = voices[2].saw(hz * detune[2]);
        float envelope = gateEnvelope(t, seconds, 0.35, release) * velocity;
        float l = left.process(a + b * 0.6f).low * envelope;
        float r = right.process(c + b * 0.6f).low * envelope;
        if (start + i >= out.frames()) {
            break;
        }
        out.left[start + i] += l;
        out.right[start + i] += r;
    }
}

void pluck(StereoBuffer& out, size_t start, int note, float velocity, double brightness,
           float pan)
{
    double hz = synth::noteFrequency(note);
    Oscillator square;
    Oscillator saw(0.5);
    Filter filter;
    const synth::Pan place(pan);
    size_t length = framesOf(0.35);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        if (i % 16 == 0) {
            filter.setCutoff((350.0 + 4200.0 * std::exp(-t * 18.0)) * brightness, 1.2);
        }
        float raw = square.pulse(hz, 0.35) * 0.6f + saw.saw(hz * 1.003) * 0.4f;
        float envelope = float(std::exp(-t * 9.0)) * std::min(1.0f, float(t / 0.002));
        float fadeOut = i + 300 > length ? float(length - i) / 300.0f : 1.0f;
        out.addPanned(start + i, filter.process(raw).low * envelope * velocity * fadeOut, place);
    }
}

void lead(StereoBuffer& out, size_t start, double seconds, int note, float velocity, float pan)
{
    double hz = synth::noteFrequency(note);
    Oscillator sawA;
    Oscillator sawB(0.25);
    Oscillator sub(0.5);
    Oscillator vibrato;
    Filter filter;
    double release = 0.14;
    const synth::Pan place(pan);
    size_t length = framesOf(seconds + release);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / SampleRate;
        // Vibrato fades in after the attack, as a singer's would.
        double depth = std::clamp((t - 0.18) / 0.3, 0.0, 1.0) * 0.012;
        double bend = 1.0 + depth * vibrato.sine(5.6);
        if (i % 16 == 0) {
            filter.setCutoff(1800.0 + 3200.0 * std::exp(-t * 6.0), 1.1);
        }
        float raw = sawA.saw(hz * bend * 0.997) + sawB.saw(hz * bend * 1.003) +
                    sub.pulse(hz * bend * 0.5, 0.5) * 0.35f;
        float decay = 0.75f + 0.25f * float(std::exp(-t * 5.0));
        float envelope = gateEnvelope(t, seconds, 0.008, release) * decay;
        out.addPanned(start + i, filter.process(raw * 0.4f).low * envelope * velocity, place);
    }
}

} // namespace instruments

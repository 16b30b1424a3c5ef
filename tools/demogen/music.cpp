#include "music.h"

#include "instruments.h"
#include "show_timing.h"
#include "synth.h"

#include <algorithm>
#include <cmath>

using namespace show;
using synth::SampleRate;
using synth::StereoBuffer;

namespace {

constexpr int StepsPerBar = 16;

// The frame where sixteenth step (counted from the start of bar) begins.
size_t frameAt(int bar, double step)
{
    double beats = bar * BeatsPerBar + step / 4.0;
    return size_t(beats * MsPerBeat * SampleRate / 1000.0);
}

// The length of a number of sixteenth steps in seconds.
double stepSeconds(double steps)
{
    return steps * MsPerBeat / 4000.0;
}

// Whether bar lies in [first, end).
bool within(int bar, int first, int end)
{
    return bar >= first && bar < end;
}

// Whether the kick drives bar: from the groove to the breakdown, and from the drop to the
// coda.
bool grooveBar(int bar)
{
    return within(bar, GrooveBar, BreakdownBar) || within(bar, DropBar, CodaBar);
}

// Whether snare and open hats play in bar.
bool backbeatBar(int bar)
{
    return within(bar, BackbeatBar, BreakdownBar) || within(bar, DropBar, CodaBar);
}

// A minor, four bars round: Am, F, C, G. Voicings move as little as possible.
struct Chord {
    int bass;
    int pad[3];
    int arpeggio[4];
};

const Chord Progression[4] = {
    {45, {57, 60, 64}, {69, 72, 76, 81}},
    {41, {57, 60, 65}, {65, 69, 72, 77}},
    {48, {55, 60, 64}, {67, 72, 76, 79}},
    {43, {55, 59, 62}, {67, 71, 74, 79}},
};

const Chord& chordOf(int bar)
{
    // The coda stays on the tonic.
    return bar >= CodaBar ? Progression[0] : Progression[bar % 4];
}

// A note of the lead: its sixteenth step within the phrase, length in steps, note number.
struct MelodyNote {
    int step;
    int length;
    int note;
};

// Eight bars over the progression twice; ends on the third of G, leading back to the top.
const MelodyNote Melody[] = {
    {0, 4, 76}, {4, 2, 76}, {6, 2, 74}, {8, 4, 72}, {12, 2, 74}, {14, 2, 76},
    {16, 6, 72}, {22, 10, 69},
    {32, 4, 76}, {36, 2, 76}, {38, 2, 74}, {40, 4, 72}, {44, 2, 74}, {46, 2, 79},
    {48, 6, 79}, {54, 2, 77}, {56, 4, 76}, {60, 4, 74},
    {64, 4, 76}, {68, 2, 76}, {70, 2, 74}, {72, 4, 72}, {76, 2, 74}, {78, 2, 76},
    {80, 6, 81}, {86, 2, 79}, {88, 4, 77}, {92, 4, 76},
    {96, 4, 76}, {100, 4, 79}, {104, 6, 84}, {110, 2, 83},
    {112, 8, 79}, {120, 4, 74}, {124, 4, 71},
};

// The diatonic third below a note of A minor, for the second voice in the drop.
int thirdBelow(int note)
{
    static const int scale[] = {0, 2, 3, 5, 7, 8, 10}; // A B C D E F G, from A
    int octave = (note - 57) / 12;
    int offset = (note - 57) % 12;
    int degree = 0;
    for (int d = 0; d < 7; ++d) {
        if (scale[d] == offset) {
            degree = d;
        }
    }
    int lower = degree - 2;
    if (lower < 0) {
        lower += 7;
        --octave;
    }
    return 57 + octave * 12 + scale[lower];
}

// How far the groove instruments duck under each kick (1 = not at all), frame by frame:
// the pumping that glues a four-on-the-floor groove together.
std::vector<float> kickDucking(const std::vector<size_t>& kicks, size_t frames)
{
    std::vector<float> gain(frames, 1.0f);
    size_t recovery = size_t(0.24 * SampleRate);
    for (size_t kick : kicks) {
        for (size_t i = 0; i < recovery && kick + i < frames; ++i) {
            double x = double(i) / double(recovery);
            double dip = 1.0 - x * x * (3.0 - 2.0 * x);
            gain[kick + i] = std::min(gain[kick + i], float(1.0 - dip));
        }
    }
    return gain;
}

void applyDucking(StereoBuffer& bus, const std::vector<float>& ducking, float depth)
{
    for (size_t i = 0; i < bus.frames(); ++i) {
        float g = 1.0f - depth * (1.0f - ducking[i]);
        bus.left[i] *= g;
        bus.right[i] *= g;
    }
}

struct Buses {
    explicit Buses(size_t frames)
        : kick(frames), drums(frames), bass(frames), pad(frames), arpeggio(frames), lead(frames)
    {
    }
    StereoBuffer kick;
    StereoBuffer drums;
    StereoBuffer bass;
    StereoBuffer pad;
    StereoBuffer arpeggio;
    StereoBuffer lead;
    std::vector<size_t> kickFrames;
};

void writeDrums(Buses& buses)
{
    uint32_t seed = 1;
    for (int bar = 0; bar < Bars; ++bar) {
        bool backbeat = backbeatBar(bar);
        for (int beat = 0; beat < BeatsPerBar; ++beat) {
            if (grooveBar(bar) || (bar == CodaBar && beat == 0)) {
                size_t at = frameAt(bar, beat * 4);
                instruments::kick(buses.kick, at, 1.0f);
                buses.kickFrames.push_back(at);
            }
            if (backbeat && (beat == 1 || beat == 3)) {
                instruments::snare(buses.drums, frameAt(bar, beat * 4), 1.0f, ++seed);
            }
        }
        for (int step = 0; step < StepsPerBar; ++step) {
            bool offbeat = step % 4 == 2;
            if (backbeat) {
                static const float accents[4] = {0.30f, 0.14f, 0.0f, 0.20f};
                if (offbeat) {
                    instruments::hat(buses.drums, frameAt(bar, step), 0.30f, true, ++seed);
                } else {
                    instruments::hat(buses.drums, frameAt(bar, step), accents[step % 4], false,
                                     ++seed);
                }
            } else if (offbeat &&
                       (within(bar, GrooveBar - 2, BackbeatBar) || within(bar, DropBar - 2, DropBar))) {
                // Closed hats lead into the groove and into the drop.
                float velocity = bar < GrooveBar ? 0.12f + 0.05f * float(bar) : 0.32f;
                instruments::hat(buses.drums, frameAt(bar, step), velocity, false, ++seed);
            }
        }
    }

    // Fills into the next section: sixteenths over the last beat.
    for (int bar : {MelodyBar - 1, BreakdownBar - 1, OutroBar - 1}) {
        for (int step = 12; step < 16; ++step) {
            float velocity = 0.45f + 0.1f * float(step - 12);
            instruments::snare(buses.drums, frameAt(bar, step), velocity, ++seed);
        }
    }
    // The build-up before the drop: eighths, then sixteenths, then thirty-seconds.
    for (int n = 0; n < 16; ++n) {
        double step = n < 4 ? n * 2.0 : n < 8 ? 8.0 + (n - 4) : 12.0 + (n - 8) * 0.5;
        float velocity = 0.18f + 0.045f * float(n);
        instruments::snare(buses.drums, frameAt(DropBar - 1, step), velocity, ++seed);
    }
    for (int bar : {GrooveBar, MelodyBar, DropBar, OutroBar, CodaBar}) {
        instruments::crash(buses.drums, frameAt(bar, 0), 0.55f, ++seed);
    }
    for (int bar : {GrooveBar - 1, DropBar - 1}) {
        instruments::riser(buses.drums, frameAt(bar, 0), stepSeconds(StepsPerBar), 0.4f, ++seed);
    }
}

void writeBass(Buses& buses)
{
    static const int octaves[8] = {0, 0, 12, 0, 0, 0, 12, 0};
    for (int bar = 0; bar < Bars; ++bar) {
        const Chord& chord = chordOf(bar);
        if (grooveBar(bar)) {
            double brightness = bar < BackbeatBar ? 0.7 : bar >= DropBar ? 1.15 : 1.0;
            for (int eighth = 0; eighth < 8; ++eighth) {
                float velocity = eighth % 2 ? 0.62f : 0.5f;
                instruments::bass(buses.bass, frameAt(bar, eighth * 2), stepSeconds(1.6),
                                  chord.bass + octaves[eighth] - 12, velocity, brightness);
            }
        } else if (within(bar, BreakdownBar, DropBar)) {
            instruments::bass(buses.bass, frameAt(bar, 0), stepSeconds(15), chord.bass - 12, 0.4f,
                              0.35);
        }
    }
    instruments::bass(buses.bass, frameAt(CodaBar, 0), stepSeconds(24), 33, 0.5f, 0.4);
}

void writePad(Buses& buses)
{
    // The coda's chord is one long note from its first bar.
    for (int bar = 0; bar <= CodaBar; ++bar) {
        const Chord& chord = chordOf(bar);
        double from = 1300.0;
        double to = 1500.0;
        double held = stepSeconds(StepsPerBar);
        if (bar < GrooveBar) {
            from = 300.0 + bar * 300.0;
            to = from + 300.0;
        } else if (within(bar, BreakdownBar, DropBar)) {
            from = 1500.0 + (bar - BreakdownBar) * 400.0;
            to = from + 400.0;
        } else if (within(bar, DropBar, OutroBar)) {
            from = to = 1900.0;
        } else if (bar == CodaBar) {
            from = 1400.0;
            to = 260.0;
            held = stepSeconds(2 * StepsPerBar - 8);
        }
        float velocity = bar < 2 ? 0.08f + 0.05f * float(bar) : 0.2f;
        for (int note : chord.pad) {
            instruments::pad(buses.pad, frameAt(bar, 0), held, note, velocity, from, to);
        }
        instruments::pad(buses.pad, frameAt(bar, 0), held, chord.bass, velocity * 0.7f, from,
                         to);
    }
}

void writeArpeggio(Buses& buses)
{
    static const int pattern[StepsPerBar] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 2, 3, 2, 1};
    for (int bar = 0; bar <= CodaBar; ++bar) {
        const Chord& chord = chordOf(bar);
        for (int step = 0; step < StepsPerBar; ++step) {
            double x = (bar * StepsPerBar + step) / double(StepsPerBar);
            double brightness = 1.0;
            float velocity = 0.2f;
            if (bar < GrooveBar) {
                brightness = 0.25 + 0.75 * x / GrooveBar;
                velocity = 0.1f + 0.1f * float(x / GrooveBar);
            } else if (within(bar, MelodyBar, BreakdownBar) || within(bar, DropBar, OutroBar)) {
                // Out of the melody's way.
                velocity = 0.13f;
            } else if (within(bar, BreakdownBar, DropBar)) {
                brightness = 0.6 + 0.6 * (x - BreakdownBar) / (DropBar - BreakdownBar);
                velocity = 0.22f;
            } else if (bar == CodaBar) {
                if (step >= 8) {
                    break;
                }
                velocity = 0.16f * float(8 - step) / 8.0f;
            }
            float pan = step % 2 ? 0.35f : -0.35f;
            instruments::pluck(buses.arpeggio, frameAt(bar, step), chord.arpeggio[pattern[step]],
                               velocity, brightness, pan);
        }
    }
}

void writeLead(Buses& buses)
{
    for (int firstBar : {MelodyBar, DropBar}) {
        bool drop = firstBar == DropBar;
        for (const MelodyNote& n : Melody) {
            size_t at = frameAt(firstBar, n.step);
            double held = stepSeconds(n.length - 0.3);
            instruments::lead(buses.lead, at, held, n.note, 0.3f, 0.0f);
            if (drop) {
                instruments::lead(buses.lead, at, held, thirdBelow(n.note), 0.16f, -0.4f);
            }
        }
    }
}

// A fade-in of a few milliseconds and a fade-out over the last bar, so the sound starts
// and ends at silence.
void applyFades(StereoBuffer& mix)
{
    size_t frames = mix.frames();
    size_t fadeIn = size_t(0.01 * SampleRate);
    size_t fadeOut = size_t(stepSeconds(StepsPerBar) * SampleRate);
    for (size_t i = 0; i < frames; ++i) {
        double g = 1.0;
        if (i < fadeIn) {
            g = double(i) / double(fadeIn);
        }
        if (i + fadeOut > frames) {
            double x = double(frames - i) / double(fadeOut);
            g *= x * x;
        }
        mix.left[i] *= float(g);
        mix.right[i] *= float(g);
    }
}

// Brings the mix to a steady listening level and holds its peaks under the ceiling: the
// gain a peak needs is reached over a few milliseconds before it (so nothing clips) and
// given back smoothly after it (so nothing pumps audibly).
void limitLoudness(StereoBuffer& mix)
{
    const float targetRms = 0.19f; // about -14.4 dBFS
    const float ceiling = 0.79f;   // -2 dBFS: decoded MP3 peaks overshoot by about 1 dB
    size_t frames = mix.frames();
    double energy = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        energy += double(mix.left[i]) * mix.left[i] + double(mix.right[i]) * mix.right[i];
    }
    double rms = std::sqrt(energy / double(2 * frames));
    float makeUp = rms > 0.0 ? float(targetRms / rms) : 1.0f;

    std::vector<float> gain(frames);
    for (size_t i = 0; i < frames; ++i) {
        float peak = std::max(std::fabs(mix.left[i]), std::fabs(mix.right[i])) * makeUp;
        gain[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    const float attackStep = 1.0f / (0.005f * SampleRate);
    float current = 1.0f;
    for (size_t i = frames; i-- > 0;) {
        current = std::min(gain[i], current + attackStep);
        gain[i] = current;
    }
    const float release = 1.0f - std::exp(-1.0f / (0.08f * SampleRate));
    current = 1.0f;
    for (size_t i = 0; i < frames; ++i) {
        current = gain[i] < current ? gain[i] : current + (gain[i] - current) * release;
        mix.left[i] *= current * makeUp;
        mix.right[i] *= current * makeUp;
    }
}

} // namespace

size_t musicFrames()
{
    return size_t(MusicMs) * SampleRate / 1000;
}

std::vector<int16_t> renderMusic()
{
    size_t frames = musicFrames();
    Buses buses(frames);
    writeDrums(buses);
    writeBass(buses);
    writePad(buses);
    writeArpeggio(buses);
    writeLead(buses);

    std::vector<float> ducking = kickDucking(buses.kickFrames, frames);
    applyDucking(buses.bass, ducking, 0.5f);
    applyDucking(buses.pad, ducking, 0.65f);
    applyDucking(buses.arpeggio, ducking, 0.45f);

    StereoBuffer echoSend(frames);
    echoSend.mix(buses.arpeggio, 0.6f);
    echoSend.mix(buses.lead, 0.4f);
    StereoBuffer echoes = synth::pingPongEcho(echoSend, stepSeconds(3), 0.42f, 0.35f);

    StereoBuffer reverbSend(frames);
    reverbSend.mix(buses.drums, 0.35f);
    reverbSend.mix(buses.pad, 0.5f);
    reverbSend.mix(buses.lead, 0.6f);
    reverbSend.mix(echoes, 0.5f);
    StereoBuffer tail = synth::reverb(reverbSend, 0.82f, 0.45f);

    StereoBuffer mix(frames);
    mix.mix(buses.kick, 0.7f);
    mix.mix(buses.drums, 1.4f);
    mix.mix(buses.bass, 0.7f);
    mix.mix(buses.pad, 0.55f);
    mix.mix(buses.arpeggio, 1.3f);
    mix.mix(buses.lead, 1.9f);
    mix.mix(echoes, 0.9f);
    mix.mix(tail, 0.6f);
    applyFades(mix);

    limitLoudness(mix);
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        samples[2 * i] = int16_t(std::lround(mix.left[i] * 32767.0f));
        samples[2 * i + 1] = int16_t(std::lround(mix.right[i] * 32767.0f));
    }
    return samples;
}

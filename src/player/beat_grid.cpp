#include "player/beat_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Clock readings this close to a line count as on it.
constexpr double OnLineMs = 1e-3;

// Onset envelope resolution: hops of 1/200 s.
constexpr int HopsPerSecond = 200;
constexpr long long MaxAnalysedSeconds = 20 * 60;
constexpr double SlowestBpm = 60.0;
constexpr double FastestBpm = 200.0;
// Half the strongest beat wins when it repeats this nearly as strongly, so that a beat is
// not taken for every other beat.
constexpr double NearlyAsStrong = 0.9;
// A beat repeats on its multiples too: a lag is scored over this many of them, so that a
// figure that happens to recur at some other lag does not pass for the beat.
constexpr int ScoredMultiples = 4;

// Per hop, how much louder it is than the hop before (log energy, rises only), then
// smoothed over three hops so that a beat that falls between hops still lines up.
std::vector<float> onsetEnvelope(Mp3Stream& stream, int hopFrames)
{
    std::vector<float> envelope;
    const int channels = stream.channels();
    std::vector<int16_t> hop(static_cast<size_t>(hopFrames) * channels);
    double previous = 0.0;
    const long long maxHops = MaxAnalysedSeconds * HopsPerSecond;
    while (static_cast<long long>(envelope.size()) < maxHops) {
        const size_t frames = stream.read(hop.data(), static_cast<size_t>(hopFrames));
        if (frames == 0)
            break;
        double energy = 0.0;
        for (size_t i = 0; i < frames * channels; ++i)
            energy += double(hop[i]) * hop[i];
        const double level = std::log1p(energy / double(frames * channels));
        envelope.push_back(static_cast<float>(std::max(0.0, level - previous)));
        previous = level;
    }
    std::vector<float> smooth(envelope.size(), 0.0f);
    for (size_t i = 0; i < envelope.size(); ++i)
        smooth[i] = 0.5f * envelope[i] + 0.25f * (i > 0 ? envelope[i - 1] : 0.0f) +
            0.25f * (i + 1 < envelope.size() ? envelope[i + 1] : 0.0f);
    return smooth;
}

double correlation(const std::vector<float>& envelope, size_t lag)
{
    double sum = 0.0;
    for (size_t i = lag; i < envelope.size(); ++i)
        sum += double(envelope[i]) * envelope[i - lag];
    return sum / double(envelope.size() - lag);
}

// The lag near around (within reach hops) that repeats best, between hops by a parabola
// through the best and its neighbours.
double refinePeak(const std::vector<float>& envelope, double around, double reach)
{
    const size_t first = static_cast<size_t>(std::max(1.0, std::floor(around - reach)));
    const size_t last = std::min(envelope.size() - 2, static_cast<size_t>(std::ceil(around + reach)));
    size_t best = first;
    double bestValue = -1.0;
    for (size_t lag = first; lag <= last; ++lag) {
        const double value = correlation(envelope, lag);
        if (value > bestValue) {
            bestValue = value;
            best = lag;
        }
    }
    const double before = correlation(envelope, best - 1);
    const double after = correlation(envelope, best + 1);
    const double curve = before - 2.0 * bestValue + after;
    const double shift = curve < 0.0 ? 0.5 * (before - after) / curve : 0.0;
    return double(best) + std::clamp(shift, -0.5, 0.5);
}

// The hop (from 0 to period) where the beats sit: the phase whose hops add up the most
// onset.
double beatPhase(const std::vector<float>& envelope, double period)
{
    double bestSum = -1.0;
    double bestPhase = 0.0;
    for (double phase = 0.0; phase < period; phase += 1.0) {
        double sum = 0.0;
        for (double at = phase; at < double(envelope.size()); at += period)
            sum += envelope[static_cast<size_t>(at)];
        if (sum > bestSum) {
            bestSum = sum;
            bestPhase = phase;
        }
    }
    return bestPhase;
}

} // namespace

double BeatTime(const BeatGrid& grid, long long beat) { return grid.offsetMs + double(beat) * BeatMs(grid); }

double StepOnGrid(const BeatGrid& grid, double ms, int direction, int beatsPerLine)
{
    const double line = BeatMs(grid) * beatsPerLine;
    const double position = (ms - grid.offsetMs) / line;
    const double tolerance = OnLineMs / line;
    const double index = direction > 0 ? std::floor(position + tolerance) + 1.0 : std::ceil(position - tolerance) - 1.0;
    return BeatTime(grid, static_cast<long long>(index) * beatsPerLine);
}

void BarBeatAt(const BeatGrid& grid, double ms, long long& bar, int& beat)
{
    const long long index = static_cast<long long>(std::floor((ms - grid.offsetMs) / BeatMs(grid) + OnLineMs / BeatMs(grid)));
    const long long barIndex = index >= 0 ? index / BeatsPerBar : -((-index + BeatsPerBar - 1) / BeatsPerBar);
    bar = barIndex + 1;
    beat = static_cast<int>(index - barIndex * BeatsPerBar) + 1;
}

BeatGrid EstimateBeatGrid(Mp3Stream& stream)
{
    BeatGrid grid;
    if (stream.rate() <= 0)
        return grid;
    const int hopFrames = std::max(1, (stream.rate() + HopsPerSecond / 2) / HopsPerSecond);
    const double hopsPerSecond = double(stream.rate()) / hopFrames;
    const std::vector<float> envelope = onsetEnvelope(stream, hopFrames);
    if (double(envelope.size()) < 4.0 * hopsPerSecond)
        return grid;

    const size_t shortest = static_cast<size_t>(std::floor(hopsPerSecond * 60.0 / FastestBpm));
    const size_t longest = static_cast<size_t>(std::ceil(hopsPerSecond * 60.0 / SlowestBpm));
    std::vector<double> repeats(ScoredMultiples * (longest + 1) + 2, 0.0);
    for (size_t lag = 1; lag < repeats.size() && lag < envelope.size(); ++lag)
        repeats[lag] = correlation(envelope, lag);
    // A multiple of a lag between hops lies up to a hop from the multiple of the whole lag.
    auto near = [&repeats](size_t lag) { return std::max({repeats[lag - 1], repeats[lag], repeats[lag + 1]}); };
    std::vector<double> strength(longest + 2, 0.0);
    size_t beat = shortest;
    for (size_t lag = shortest; lag <= longest; ++lag) {
        for (int multiple = 1; multiple <= ScoredMultiples; ++multiple)
            strength[lag] += multiple == 1 ? repeats[lag] : near(lag * multiple);
        if (strength[lag] > strength[beat])
            beat = lag;
    }
    if (strength[beat] <= 0.0)
        return grid;
    while (beat / 2 > shortest) {
        const size_t half = std::max({beat / 2 - 1, beat / 2, beat / 2 + 1}, [&strength](size_t a, size_t b) {
            return strength[a] < strength[b];
        });
        if (strength[half] < NearlyAsStrong * strength[beat])
            break;
        beat = half;
    }

    // Many beats apart the lag is known to a fraction of a hop per beat.
    const int beats = static_cast<int>(std::min<size_t>(16, envelope.size() / 2 / beat));
    double period = refinePeak(envelope, double(beat), 1.0);
    if (beats > 1)
        period = refinePeak(envelope, period * beats, beats * 0.5 + 1.0) / beats;
    grid.bpm = 60.0 * hopsPerSecond / period;
    grid.offsetMs = beatPhase(envelope, period) * 1000.0 / hopsPerSecond;
    return grid;
}

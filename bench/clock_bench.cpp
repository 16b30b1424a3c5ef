// Music clock accuracy: the bundled show's MP3 played through SDL's `disk` audio driver for
// BENCH_CLOCK_SECONDS (default 60), the clock read every 5 ms as the playback loop reads
// it. Meanwhile the samples the device has taken are polled every quarter millisecond, so
// the moment of each device callback is known; between two callbacks the device plays the
// buffer it took at the first, so the samples actually consumed at any moment are those
// before that buffer plus the share of it played by then. Reported: the largest, 99th
// percentile and mean difference between the clock and those samples, and the drift of the clock against the
// wall clock and against the device over the run.
#include "desktop/shell_probes.h"
#include "desktop/sound.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int rate = 44100;
constexpr double readEveryMs = 5.0;

struct Callback {
    double ms;             // wall time, from the start of the run
    long long framesAfter; // the device's frames after it
};

struct Reading {
    double ms; // wall time of the reading, from the start of the run
    int positionMs;
};

int clockSeconds()
{
    const char* seconds = std::getenv("BENCH_CLOCK_SECONDS");
    int value = seconds ? std::atoi(seconds) : 0;
    return value > 0 ? value : 60;
}

// Slope of the least-squares line through (x, y).
double slope(const std::vector<double>& x, const std::vector<double>& y)
{
    double n = static_cast<double>(x.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

void BM_MusicClock(benchmark::State& state)
{
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    if (!SoundSetOutput() || !SoundInit(rate, 32)) {
        state.SkipWithError("the disk audio driver cannot be opened");
        return;
    }
    SoundStream* stream = SoundStreamOpen(TALDREX_BUNDLED_SHOW "/data/music.mp3");
    if (!stream) {
        state.SkipWithError("the bundled show's music.mp3 cannot be opened");
        SoundClose();
        return;
    }
    const double runMs = clockSeconds() * 1000.0;
    std::vector<Callback> callbacks;
    std::vector<Reading> readings;
    callbacks.reserve(static_cast<size_t>(runMs / 10));
    readings.reserve(static_cast<size_t>(runMs / readEveryMs) + 1);

    for (auto _ : state) {
        SoundStreamPlay(stream);
        Clock::time_point start = Clock::now();
        auto sinceStart = [&](Clock::time_point t) { return std::chrono::duration<double, std::milli>(t - start).count(); };
        long long frames = SoundStreamFramesConsumed(stream);
        double lastPollMs = 0;
        double nextReadMs = 0;
        for (;;) {
            long long now = SoundStreamFramesConsumed(stream);
            double polledMs = sinceStart(Clock::now());
            if (now != frames) {
                // The callback came between the two polls.
                callbacks.push_back({(lastPollMs + polledMs) / 2, now});
                frames = now;
            }
            lastPollMs = polledMs;
            if (polledMs >= runMs)
                break;
            if (polledMs >= nextReadMs) {
                Clock::time_point before = Clock::now();
                int position = SoundStreamGetTime(stream);
                Clock::time_point after = Clock::now();
                readings.push_back({(sinceStart(before) + sinceStart(after)) / 2, position});
                nextReadMs += readEveryMs;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        }
    }
    int bufferFrames = SoundDeviceBufferFrames();
    SoundClose();
    if (callbacks.size() < 3 || readings.size() < 3) {
        state.SkipWithError("the audio device took no samples");
        return;
    }

    // Readings between the first and the last callback, each held against the samples
    // consumed by then.
    std::vector<double> differences, wall, position;
    double worst = -1, worstPeriodMs = 0;
    size_t k = 0;
    for (const Reading& r : readings) {
        if (r.ms < callbacks.front().ms || r.ms >= callbacks.back().ms)
            continue;
        while (callbacks[k + 1].ms <= r.ms)
            ++k;
        const Callback& taken = callbacks[k];
        const Callback& next = callbacks[k + 1];
        long long bufferStart = k > 0 ? callbacks[k - 1].framesAfter : taken.framesAfter - bufferFrames;
        double played = static_cast<double>(taken.framesAfter - bufferStart) * (r.ms - taken.ms) / (next.ms - taken.ms);
        double consumedMs = (static_cast<double>(bufferStart) + played) * 1000.0 / rate;
        differences.push_back(std::fabs(r.positionMs - consumedMs));
        if (differences.back() > worst) {
            worst = differences.back();
            worstPeriodMs = next.ms - taken.ms;
        }
        wall.push_back(r.ms);
        position.push_back(r.positionMs);
    }
    std::vector<double> callbackMs, deviceMs;
    double longestPeriodMs = 0;
    for (size_t i = 1; i < callbacks.size(); ++i)
        longestPeriodMs = std::max(longestPeriodMs, callbacks[i].ms - callbacks[i - 1].ms);
    for (const Callback& c : callbacks) {
        callbackMs.push_back(c.ms);
        deviceMs.push_back(static_cast<double>(c.framesAfter) * 1000.0 / rate);
    }
    double clockPace = slope(wall, position);
    double devicePace = slope(callbackMs, deviceMs);
    if (differences.empty()) {
        state.SkipWithError("no clock reading fell between two device callbacks");
        return;
    }
    double sum = 0;
    for (double d : differences)
        sum += d;
    std::sort(differences.begin(), differences.end());
    state.counters["largest_difference_ms"] = differences.back();
    state.counters["p99_difference_ms"] = differences[differences.size() * 99 / 100];
    state.counters["mean_difference_ms"] = sum / static_cast<double>(differences.size());
    // A device callback that comes late leaves the clock waiting at the end of what the
    // device was given; how late the worst one was, and the one around the largest gap.
    state.counters["longest_callback_interval_ms"] = longestPeriodMs;
    state.counters["interval_at_largest_gap_ms"] = worstPeriodMs;
    state.counters["drift_vs_wall_ms_per_min"] = (clockPace - 1.0) * 60000.0;
    state.counters["device_drift_vs_wall_ms_per_min"] = (devicePace - 1.0) * 60000.0;
    state.counters["drift_vs_device_ms_per_min"] = (clockPace / devicePace - 1.0) * 60000.0;
    state.counters["readings"] = static_cast<double>(wall.size());
    state.counters["callbacks"] = static_cast<double>(callbacks.size());
    state.counters["buffer_ms"] = bufferFrames * 1000.0 / rate;
    state.counters["seconds"] = runMs / 1000.0;
}
BENCHMARK(BM_MusicClock)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

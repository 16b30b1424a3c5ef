// The soundtrack's loudness over time for author mode's timeline strip: the peak and the
// mean square of every block of samples, worked out once on a thread of its own so that
// the window stays responsive, and shown as it fills in.
#pragma once

#include "common/data_file.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

class Waveform {
public:
    // Most blocks kept: past this many the blocks grow, so a long soundtrack takes at most
    // 8 MiB.
    static constexpr size_t MaxBlocks = size_t(1) << 20;
    static constexpr int ShortestBlock = 64; // frames

    Waveform() = default;
    ~Waveform();
    Waveform(const Waveform&) = delete;
    Waveform& operator=(const Waveform&) = delete;

    // Stops any earlier work and starts on the MP3 at path in folder. Returns false, with
    // the waveform empty, when it does not open as MP3.
    bool start(const std::string& path, const DataFolder& folder);
    // Stops the work and empties the waveform.
    void stop();

    // The music's peak (0 to 1) and root mean square (0 to 1) over each of count columns
    // that divide show time fromMs .. toMs evenly; a column not worked out yet, or past
    // the music's end, is 0. Allocates nothing.
    void columns(double fromMs, double toMs, int count, float* peak, float* rms) const;

    // True once the whole music is worked out (or nothing was started).
    bool complete() const { return done_.load(std::memory_order_acquire); }
    // The music's length in ms as its frame headers give it, 0 when unknown.
    double lengthMs() const { return lengthMs_; }

private:
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> done_{true};
    std::atomic<size_t> filled_{0};
    std::vector<float> peak_;
    std::vector<float> meanSquare_;
    int blockFrames_ = ShortestBlock;
    int rate_ = 0;
    double lengthMs_ = 0.0;
};

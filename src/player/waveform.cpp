#include "player/waveform.h"

#include "audio/mp3_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

// Without a length from the frame headers, room for this much music.
constexpr long long UnknownLengthSeconds = 30 * 60;

} // namespace

Waveform::~Waveform() { stop(); }

void Waveform::stop()
{
    stopping_.store(true);
    if (thread_.joinable())
        thread_.join();
    stopping_.store(false);
    filled_.store(0);
    done_.store(true);
    peak_.clear();
    meanSquare_.clear();
    rate_ = 0;
    lengthMs_ = 0.0;
}

bool Waveform::start(const std::string& path, const DataFolder& folder)
{
    stop();
    auto stream = std::make_unique<Mp3Stream>();
    if (!stream->open(folder.openFile(path, SoundtrackFileLimit)))
        return false;
    rate_ = stream->rate();
    const long long frames = stream->length() > 0 ? stream->length() : UnknownLengthSeconds * rate_;
    lengthMs_ = stream->length() > 0 ? double(stream->length()) * 1000.0 / rate_ : 0.0;
    blockFrames_ = static_cast<int>(std::max<long long>(ShortestBlock, (frames + MaxBlocks - 1) / MaxBlocks));
    const size_t blocks = static_cast<size_t>((frames + blockFrames_ - 1) / blockFrames_);
    peak_.assign(blocks, 0.0f);
    meanSquare_.assign(blocks, 0.0f);
    done_.store(false);

    thread_ = std::thread([this, stream = std::move(stream)] {
        const int channels = stream->channels();
        std::vector<int16_t> block(static_cast<size_t>(blockFrames_) * channels);
        size_t filled = 0;
        while (filled < peak_.size() && !stopping_.load(std::memory_order_relaxed)) {
            const size_t got = stream->read(block.data(), static_cast<size_t>(blockFrames_));
            if (got == 0)
                break;
            int peak = 0;
            double sum = 0.0;
            for (size_t i = 0; i < got * channels; ++i) {
                peak = std::max(peak, std::abs(int(block[i])));
                sum += double(block[i]) * block[i];
            }
            peak_[filled] = static_cast<float>(peak) / 32768.0f;
            meanSquare_[filled] = static_cast<float>(sum / (double(got * channels) * 32768.0 * 32768.0));
            filled_.store(++filled, std::memory_order_release);
        }
        done_.store(true, std::memory_order_release);
    });
    return true;
}

void Waveform::columns(double fromMs, double toMs, int count, float* peak, float* rms) const
{
    const size_t filled = filled_.load(std::memory_order_acquire);
    const double blocksPerMs = rate_ > 0 ? double(rate_) / 1000.0 / blockFrames_ : 0.0;
    const double span = (toMs - fromMs) / std::max(1, count);
    for (int c = 0; c < count; ++c) {
        peak[c] = 0.0f;
        rms[c] = 0.0f;
        const double first = std::max(0.0, (fromMs + span * c) * blocksPerMs);
        const double last = std::max(0.0, (fromMs + span * (c + 1)) * blocksPerMs);
        const size_t begin = static_cast<size_t>(first);
        const size_t end = std::min(filled, std::max(begin + 1, static_cast<size_t>(last)));
        if (begin >= end)
            continue;
        float top = 0.0f;
        double sum = 0.0;
        for (size_t b = begin; b < end; ++b) {
            top = std::max(top, peak_[b]);
            sum += meanSquare_[b];
        }
        peak[c] = top;
        rms[c] = static_cast<float>(std::sqrt(sum / double(end - begin)));
    }
}

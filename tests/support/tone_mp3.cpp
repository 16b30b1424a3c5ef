#include "support/tone_mp3.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

std::vector<int16_t> MakeTone(int rate, int channels, int frames)
{
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * channels);
    const double twoPi = 6.283185307179586;
    for (int i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        // A sweep never repeats, so any stretch of it shows where in the stream it lies.
        double phase = twoPi * (300.0 * t + 100.0 * t * t);
        for (int c = 0; c < channels; ++c)
            pcm[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(12000.0 * std::sin(phase * (c ? 1.5 : 1.0)));
    }
    return pcm;
}

bool WriteToneMp3(const std::string& path, int rate, int channels, int frames)
{
    return WritePcmMp3(path, rate, channels, MakeTone(rate, channels, frames));
}

bool WritePcmMp3(const std::string& path, int rate, int channels, const std::vector<int16_t>& pcm)
{
    std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), &lame_close);
    if (!lame)
        return false;
    lame_set_in_samplerate(lame.get(), rate);
    lame_set_out_samplerate(lame.get(), rate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), 128);
    lame_set_quality(lame.get(), 5);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        return false;

    const int frames = static_cast<int>(pcm.size() / static_cast<size_t>(channels));
    // LAME reads the samples through pointers to non-const.
    short* samples = const_cast<short*>(pcm.data());
    std::vector<unsigned char> mp3(static_cast<size_t>(frames) * 5 / 4 + 7200);
    int size = channels == 2
        ? lame_encode_buffer_interleaved(lame.get(), samples, frames, mp3.data(), static_cast<int>(mp3.size()))
        : lame_encode_buffer(lame.get(), samples, samples, frames, mp3.data(), static_cast<int>(mp3.size()));
    if (size < 0)
        return false;
    int tail = lame_encode_flush(lame.get(), mp3.data() + size, static_cast<int>(mp3.size()) - size);
    if (tail < 0)
        return false;
    size += tail;

    // The tag goes into the first frame, so the file must be open for reading back too.
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "w+b"), &std::fclose);
    if (!file || std::fwrite(mp3.data(), 1, static_cast<size_t>(size), file.get()) != static_cast<size_t>(size))
        return false;
    lame_mp3_tags_fid(lame.get(), file.get());
    return std::fflush(file.get()) == 0;
}

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path()
        / ("taldrex-" + std::to_string(getpid()) + "-" + name)).string();
}

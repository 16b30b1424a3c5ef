#include "app/sound.h"

#include "app/mp3_decoder.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// A stream holds its whole soundtrack already converted to the device's format, so the
// audio callback only copies and mixes.
struct SoundStream {
    std::vector<int16_t> pcm; // stereo frames at the device rate
    long long length = 0;     // in frames

    // Shared with the audio callback: touched only while the device is locked.
    long long cursor = 0;       // next frame to hand to the device
    long long heardFrom = 0;    // the cursor when the latest callback began: the buffer now playing starts here
    Uint64 callbackCounter = 0; // performance counter at that callback
    bool timed = false;         // a callback has served the stream since it started or moved
    bool playing = false;       // on a channel; stays there after its end so that moving it back replays it
};

namespace {

constexpr int OutputChannels = 2;
// About 23 ms at 44.1 kHz: a short wait between the clock's anchor points, and long enough
// for the drivers to keep real-time pace without underruns.
constexpr Uint16 RequestedBufferFrames = 1024;

struct SoundDevice {
    bool audioStarted = false; // SDL's audio subsystem is up on our behalf
    SDL_AudioDeviceID id = 0;
    int rate = 0;
    size_t channelLimit = 0;
    std::vector<std::unique_ptr<SoundStream>> streams; // every open stream, playing or not

    // Shared with the audio callback: touched only while the device is locked.
    std::vector<SoundStream*> channels; // playing streams, at most channelLimit
    int bufferFrames = 0;               // frames asked for by the latest callback
};

SoundDevice Device;

// Holds the audio callback off while the main thread reads or changes shared state.
class DeviceLock {
public:
    DeviceLock() : id_(Device.id)
    {
        if (id_)
            SDL_LockAudioDevice(id_);
    }
    ~DeviceLock()
    {
        if (id_)
            SDL_UnlockAudioDevice(id_);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID id_;
};

int16_t saturate(int value)
{
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

// Runs on SDL's audio thread with the device locked.
void mixChannels(void* userdata, Uint8* out, int bytes)
{
    auto* device = static_cast<SoundDevice*>(userdata);
    auto* mix = reinterpret_cast<int16_t*>(out);
    const int frames = bytes / static_cast<int>(OutputChannels * sizeof(int16_t));
    const Uint64 now = SDL_GetPerformanceCounter();
    std::memset(out, 0, static_cast<size_t>(bytes));
    device->bufferFrames = frames;
    for (SoundStream* stream : device->channels) {
        stream->heardFrom = stream->cursor;
        stream->callbackCounter = now;
        stream->timed = true;
        const long long count = std::min<long long>(frames, stream->length - stream->cursor);
        const int16_t* source = stream->pcm.data() + stream->cursor * OutputChannels;
        for (long long i = 0; i < count * OutputChannels; ++i)
            mix[i] = saturate(mix[i] + source[i]);
        stream->cursor += count;
    }
}

// Converts decoded audio to the device's stereo format and rate. Returns false when
// SDL cannot convert it or nothing is left.
bool convertToDevice(const DecodedAudio& decoded, std::vector<int16_t>& out)
{
    SDL_AudioStream* converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(decoded.channels),
        decoded.rate, AUDIO_S16SYS, OutputChannels, Device.rate);
    if (!converter)
        return false;
    // Fed in slices: SDL counts bytes in int, a long soundtrack would not fit at once.
    const size_t sliceSamples = static_cast<size_t>(decoded.channels) * 65536;
    bool ok = true;
    auto drain = [&]() {
        int available = SDL_AudioStreamAvailable(converter);
        if (available <= 0)
            return;
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(available) / sizeof(int16_t));
        int got = SDL_AudioStreamGet(converter, out.data() + at, available);
        if (got < 0) {
            ok = false;
            got = 0;
        }
        out.resize(at + static_cast<size_t>(got) / sizeof(int16_t));
    };
    for (size_t at = 0; ok && at < decoded.samples.size(); at += sliceSamples) {
        size_t count = std::min(sliceSamples, decoded.samples.size() - at);
        if (SDL_AudioStreamPut(converter, decoded.samples.data() + at, static_cast<int>(count * sizeof(int16_t))) != 0)
            ok = false;
        else
            drain();
    }
    // SDL's resampler keeps the last few hundred frames back even when flushed: push them
    // out with a tenth of a second of silence, then cut the output to the stream's length.
    if (ok) {
        std::vector<int16_t> silence(static_cast<size_t>(decoded.channels) * static_cast<size_t>(decoded.rate / 10 + 1024));
        ok = SDL_AudioStreamPut(converter, silence.data(), static_cast<int>(silence.size() * sizeof(int16_t))) == 0
            && SDL_AudioStreamFlush(converter) == 0;
        drain();
    }
    SDL_FreeAudioStream(converter);
    const size_t frames = decoded.samples.size() / static_cast<size_t>(decoded.channels);
    const size_t converted = static_cast<size_t>(static_cast<unsigned long long>(frames) * Device.rate / decoded.rate);
    out.resize(std::min(out.size(), converted * OutputChannels));
    out.resize(out.size() - out.size() % OutputChannels);
    return ok && !out.empty();
}

} // namespace

bool SoundSetOutput()
{
    if (!Device.audioStarted)
        Device.audioStarted = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return Device.audioStarted;
}

bool SoundInit(int rate, int channels)
{
    if (Device.id || rate <= 0 || channels <= 0 || !SoundSetOutput())
        return false;
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = OutputChannels;
    wanted.samples = RequestedBufferFrames;
    wanted.callback = mixChannels;
    wanted.userdata = &Device;
    // SDL converts our format and rate to whatever the hardware takes; only the buffer
    // size may follow the hardware, which keeps the latency to one buffer.
    SDL_AudioSpec obtained{};
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (!id)
        return false;
    Device.id = id;
    Device.rate = rate;
    Device.channelLimit = static_cast<size_t>(channels);
    Device.channels.reserve(Device.channelLimit);
    SDL_PauseAudioDevice(id, 0);
    return true;
}

SoundStream* SoundStreamOpen(const char* path)
{
    if (!Device.id)
        return nullptr;
    DecodedAudio decoded;
    if (!DecodeMp3File(path, decoded))
        return nullptr;
    auto stream = std::make_unique<SoundStream>();
    if (!convertToDevice(decoded, stream->pcm))
        return nullptr;
    stream->length = static_cast<long long>(stream->pcm.size() / OutputChannels);
    Device.streams.push_back(std::move(stream));
    return Device.streams.back().get();
}

bool SoundStreamPlay(SoundStream* stream)
{
    if (!stream || !Device.id)
        return false;
    DeviceLock lock;
    if (stream->playing)
        return true;
    if (Device.channels.size() >= Device.channelLimit)
        return false;
    stream->playing = true;
    stream->timed = false;
    Device.channels.push_back(stream);
    return true;
}

int SoundStreamGetTime(SoundStream* stream)
{
    if (!stream || Device.rate <= 0)
        return 0;
    long long frames = 0;
    {
        DeviceLock lock;
        frames = stream->heardFrom;
        if (stream->playing && stream->timed) {
            // The buffer handed over at the latest callback is playing now: count the
            // frames heard of it since, but never past what the device has been given.
            Uint64 now = SDL_GetPerformanceCounter();
            double seconds = now > stream->callbackCounter
                ? double(now - stream->callbackCounter) / double(SDL_GetPerformanceFrequency())
                : 0.0;
            double heard = std::min(seconds * Device.rate, double(stream->cursor - stream->heardFrom));
            frames += static_cast<long long>(heard);
        }
    }
    return static_cast<int>(frames * 1000 / Device.rate);
}

bool SoundStreamSetPosition(SoundStream* stream, int ms)
{
    if (!stream || Device.rate <= 0)
        return false;
    long long frame = std::clamp(static_cast<long long>(ms) * Device.rate / 1000, 0LL, stream->length);
    DeviceLock lock;
    stream->cursor = frame;
    stream->heardFrom = frame;
    stream->timed = false;
    return true;
}

void SoundClose()
{
    if (Device.id)
        SDL_CloseAudioDevice(Device.id);
    Device.id = 0;
    Device.rate = 0;
    Device.channelLimit = 0;
    Device.channels.clear();
    Device.bufferFrames = 0;
    Device.streams.clear();
    if (Device.audioStarted)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Device.audioStarted = false;
}

long long SoundStreamFramesConsumed(SoundStream* stream)
{
    if (!stream)
        return 0;
    DeviceLock lock;
    return stream->cursor;
}

int SoundDeviceBufferFrames()
{
    DeviceLock lock;
    return Device.bufferFrames;
}

#include "desktop/sound.h"

#include "audio/mp3_decoder.h"
#include "desktop/shell_probes.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

struct SDLAudioStreamFree {
    void operator()(SDL_AudioStream* converter) const { SDL_FreeAudioStream(converter); }
};

// A stream decodes its soundtrack a little ahead of the device, on the audio callback,
// and converts it there to the device's format: memory stays the same however long the
// soundtrack is.
struct SoundStream {
    // Shared with the audio callback: touched only while the device is locked.
    Mp3Stream decoder;
    std::unique_ptr<SDL_AudioStream, SDLAudioStreamFree> converter; // to stereo frames at the device rate
    long long length = 0;       // in device frames: from the decoder's scan until decoding finds the end
    long long decodedTo = 0;    // the decoder's position, in its own frames
    bool drained = false;       // the decoder has ended and the converter holds all that is left
    long long cursor = 0;       // next frame to hand to the device
    long long heardFrom = 0;    // the cursor when the latest callback began: the buffer now playing starts here
    Uint64 callbackCounter = 0; // performance counter at that callback
    bool timed = false;         // a callback has served the stream since it started or moved
    bool playing = false;       // on a channel; stays there after its end so that moving it back replays it
    bool paused = false;        // on its channel but silent, its cursor kept
};

namespace {

constexpr int OutputChannels = 2;
// About 23 ms at 44.1 kHz: a short wait between the clock's anchor points, and long enough
// for the drivers to keep real-time pace without underruns.
constexpr Uint16 RequestedBufferFrames = SoundBufferFrames;
constexpr int OutputFrameBytes = OutputChannels * static_cast<int>(sizeof(int16_t));
// The callback works in slices of these many frames, decoded and converted ones alike.
constexpr int SliceFrames = 2048;

struct SoundDevice {
    bool audioStarted = false; // SDL's audio subsystem is up on our behalf
    SDL_AudioDeviceID id = 0;
    int rate = 0;
    size_t channelLimit = 0;
    std::vector<std::unique_ptr<SoundStream>> streams; // every open stream, playing or not

    // Shared with the audio callback: touched only while the device is locked.
    std::vector<SoundStream*> channels; // playing streams, at most channelLimit
    int bufferFrames = 0;               // frames asked for by the latest callback
    int16_t decoded[SliceFrames * 2];   // a slice from a decoder
    int16_t converted[SliceFrames * OutputChannels]; // a slice for the mix
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

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Keeps ALSA from printing its own lines while SDL looks for a device; SDL loads the same
// libasound, so the handler set here is the one it meets.
class QuietAlsa {
public:
    QuietAlsa() { snd_lib_error_set_handler(ignoreAlsaError); }
    ~QuietAlsa() { snd_lib_error_set_handler(nullptr); }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;
};

// Frames of the stream ready in its converter, up to want: decodes until that many are
// there or the stream has ended. Runs with the device locked.
int readyFrames(SoundDevice& device, SoundStream& stream, int want)
{
    SDL_AudioStream* converter = stream.converter.get();
    const int channels = stream.decoder.channels();
    while (!stream.drained && SDL_AudioStreamAvailable(converter) < want * OutputFrameBytes) {
        const size_t got = stream.decoder.read(device.decoded, SliceFrames);
        if (got > 0) {
            stream.decodedTo += static_cast<long long>(got);
            if (SDL_AudioStreamPut(converter, device.decoded, static_cast<int>(got) * channels * static_cast<int>(sizeof(int16_t))) == 0)
                continue;
        }
        // SDL's resampler keeps the last few hundred frames back even when flushed: push
        // them out with a tenth of a second of silence, then end the stream where its
        // decoded frames end at the device rate.
        std::memset(device.decoded, 0, sizeof device.decoded);
        for (int silence = stream.decoder.rate() / 10 + 1024; silence > 0; silence -= SliceFrames)
            SDL_AudioStreamPut(converter, device.decoded, std::min(silence, SliceFrames) * channels * static_cast<int>(sizeof(int16_t)));
        SDL_AudioStreamFlush(converter);
        const long long end = stream.decodedTo * device.rate / stream.decoder.rate();
        stream.length = std::clamp(end, stream.cursor, stream.length);
        stream.drained = true;
    }
    const long long left = stream.length - stream.cursor;
    return static_cast<int>(std::min<long long>({want, left, SDL_AudioStreamAvailable(converter) / OutputFrameBytes}));
}

// The frame the speaker plays now. Runs with the device locked.
long long heardFrames(const SoundStream& stream)
{
    long long frames = stream.heardFrom;
    if (stream.playing && stream.timed) {
        // The buffer handed over at the latest callback is playing now: count the
        // frames heard of it since, but never past what the device has been given.
        Uint64 now = SDL_GetPerformanceCounter();
        double seconds = now > stream.callbackCounter
            ? double(now - stream.callbackCounter) / double(SDL_GetPerformanceFrequency())
            : 0.0;
        double heard = std::min(seconds * Device.rate, double(stream.cursor - stream.heardFrom));
        frames += static_cast<long long>(heard);
    }
    return frames;
}

// Runs on SDL's audio thread with the device locked.
void mixChannels(void* userdata, Uint8* out, int bytes)
{
    auto* device = static_cast<SoundDevice*>(userdata);
    auto* mix = reinterpret_cast<int16_t*>(out);
    const int frames = bytes / OutputFrameBytes;
    const Uint64 now = SDL_GetPerformanceCounter();
    std::memset(out, 0, static_cast<size_t>(bytes));
    device->bufferFrames = frames;
    for (SoundStream* stream : device->channels) {
        if (stream->paused)
            continue;
        stream->heardFrom = stream->cursor;
        stream->callbackCounter = now;
        stream->timed = true;
        for (int done = 0; done < frames;) {
            const int count = readyFrames(*device, *stream, std::min(frames - done, SliceFrames));
            const int got = count > 0
                ? SDL_AudioStreamGet(stream->converter.get(), device->converted, count * OutputFrameBytes) / OutputFrameBytes
                : 0;
            if (got <= 0)
                break;
            int16_t* target = mix + done * OutputChannels;
            for (int i = 0; i < got * OutputChannels; ++i)
                target[i] = saturate(target[i] + device->converted[i]);
            stream->cursor += got;
            done += got;
        }
    }
}

} // namespace

bool SoundSetOutput()
{
    QuietAlsa quiet;
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
    QuietAlsa quiet;
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

SoundStream* SoundStreamOpen(const char* path, const DataFolder& folder)
{
    if (!Device.id || !path)
        return nullptr;
    auto stream = std::make_unique<SoundStream>();
    if (!stream->decoder.open(folder.openFile(path, SoundtrackFileLimit)))
        return nullptr;
    const int rate = stream->decoder.rate();
    stream->converter.reset(SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(stream->decoder.channels()), rate,
        AUDIO_S16SYS, OutputChannels, Device.rate));
    if (!stream->converter)
        return nullptr;
    // The clock counts milliseconds in an int: a stream ends where it would overflow.
    const long long longest = static_cast<long long>(INT_MAX) * Device.rate / 1000;
    const long long scanned = stream->decoder.length();
    stream->length = scanned >= 0 ? std::min(longest, scanned * Device.rate / rate) : longest;
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

void SoundStreamClose(SoundStream* stream)
{
    if (!stream)
        return;
    std::unique_ptr<SoundStream> closing;
    {
        DeviceLock lock;
        Device.channels.erase(std::remove(Device.channels.begin(), Device.channels.end(), stream), Device.channels.end());
        auto open = std::find_if(Device.streams.begin(), Device.streams.end(),
            [stream](const std::unique_ptr<SoundStream>& owned) { return owned.get() == stream; });
        if (open == Device.streams.end())
            return;
        closing = std::move(*open);
        Device.streams.erase(open);
    }
    // Freed outside the lock: the decoder's files and buffers need no callback held off.
}

int SoundStreamGetTime(SoundStream* stream)
{
    if (!stream || Device.rate <= 0)
        return 0;
    long long frames = 0;
    {
        DeviceLock lock;
        frames = heardFrames(*stream);
    }
    return static_cast<int>(frames * 1000 / Device.rate);
}

bool SoundStreamEnded(SoundStream* stream)
{
    if (!stream)
        return false;
    DeviceLock lock;
    return stream->cursor >= stream->length;
}

bool SoundStreamSetPosition(SoundStream* stream, int ms)
{
    if (!stream || Device.rate <= 0)
        return false;
    long long frame = std::clamp(static_cast<long long>(ms) * Device.rate / 1000, 0LL, stream->length);
    DeviceLock lock;
    stream->decodedTo = frame * stream->decoder.rate() / Device.rate;
    stream->drained = !stream->decoder.seek(stream->decodedTo);
    SDL_AudioStreamClear(stream->converter.get());
    stream->cursor = frame;
    stream->heardFrom = frame;
    stream->timed = false;
    return true;
}

bool SoundStreamPause(SoundStream* stream, bool paused)
{
    if (!stream)
        return false;
    DeviceLock lock;
    if (paused && !stream->paused) {
        // The clock stays where the speaker stopped.
        stream->heardFrom = heardFrames(*stream);
        stream->timed = false;
    }
    stream->paused = paused;
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

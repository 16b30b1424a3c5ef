// Fuzzes the sound layer's MP3 decoder with any bytes as a stream: decoded whole, then
// moved about as the show's loop and seeking do.
#include "audio/mp3_decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedAudio audio;
    bool decoded = DecodeMp3(data, size, audio);
    if (decoded != !audio.samples.empty())
        std::abort();
    if (decoded && (audio.rate <= 0 || audio.samples.size() % static_cast<size_t>(audio.channels) != 0))
        std::abort();

    Mp3Stream stream;
    if (stream.openMemory(data, size) != decoded)
        std::abort();
    if (!decoded)
        return 0;
    int16_t slice[2 * 1152];
    const long long frames = static_cast<long long>(audio.samples.size()) / audio.channels;
    for (long long at : {frames / 2, stream.length() + 1, 0LL}) {
        stream.seek(at);
        if (stream.read(slice, 1152) > 1152)
            std::abort();
    }
    return 0;
}

// Fuzzes the sound layer's MP3 decoder with any bytes as a stream.
#include "app/mp3_decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedAudio audio;
    bool decoded = DecodeMp3(data, size, audio);
    if (decoded != !audio.samples.empty())
        std::abort();
    if (decoded && (audio.rate <= 0 || audio.samples.size() % static_cast<size_t>(audio.channels) != 0))
        std::abort();
    return 0;
}

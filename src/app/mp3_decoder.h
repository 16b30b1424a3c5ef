// MP3 decoding to 16-bit PCM at the stream's own rate, with no audio device involved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded stream: interleaved signed 16-bit samples.
struct DecodedAudio {
    int rate = 0;                 // frames per second, as the stream was encoded
    int channels = 0;             // 1 or 2
    std::vector<int16_t> samples; // frames x channels values
};

// Decodes a whole MP3 held in memory (gapless where the stream carries encoder delay and
// padding). A stream damaged part-way keeps what decoded before the damage. Returns false,
// leaving out empty, when not a single frame decodes.
bool DecodeMp3(const unsigned char* data, size_t size, DecodedAudio& out);
// Reads and decodes an MP3 file. Returns false when the file cannot be read or decodes to nothing.
bool DecodeMp3File(const char* path, DecodedAudio& out);

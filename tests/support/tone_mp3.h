// Test MP3 files made on the spot with LAME: a rising tone, with the encoder's tag so
// that decoders can trim its delay and padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tone's interleaved samples: frames x channels values, left rising from 300 Hz and
// the right channel a fifth above it.
std::vector<int16_t> MakeTone(int rate, int channels, int frames);
// Encodes MakeTone(rate, channels, frames) to path. Returns false when LAME fails.
bool WriteToneMp3(const std::string& path, int rate, int channels, int frames);
// Encodes interleaved samples (frames x channels values) to path. Returns false when LAME fails.
bool WritePcmMp3(const std::string& path, int rate, int channels, const std::vector<int16_t>& pcm);
// A unique path in the temporary folder for a file named after name; removed by the caller.
std::string TempPath(const std::string& name);

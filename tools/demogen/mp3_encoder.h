// MP3 encoding of the soundtrack with LAME: 44.1 kHz joint stereo, variable bit rate,
// with the LAME tag that tells decoders the exact length (gapless playback).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes 16-bit stereo samples (interleaved left, right) at 44.1 kHz into path.
// Returns false and sets error, naming the file, when the file cannot be written or the
// encoder fails.
bool writeMp3(const std::string& path, const std::vector<int16_t>& interleaved,
              std::string& error);

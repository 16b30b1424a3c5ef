// The show's soundtrack: the arrangement of the instruments over the bars of the show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Frames of 44.1 kHz stereo sound in the whole soundtrack (show::MusicMs long).
size_t musicFrames();

// Renders the soundtrack as 16-bit stereo samples, interleaved left then right,
// musicFrames() frames. Peaks stay below full scale.
std::vector<int16_t> renderMusic();

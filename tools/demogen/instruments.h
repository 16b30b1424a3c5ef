// The instruments of the show's music. Each call renders one hit or note into a buffer,
// starting at a frame; notes add to what is already there.
#pragma once

#include "synth.h"

#include <cstddef>

namespace instruments {

// A deep kick: a sine falling from 155 Hz to 45 Hz with a short click.
void kick(synth::StereoBuffer& out, size_t start, float velocity);

// A snare: a short tone body under band-passed noise. seed varies the noise per hit.
void snare(synth::StereoBuffer& out, size_t start, float velocity, uint32_t seed);

// A hi-hat: metallic squares and noise above 7 kHz; open hats ring longer.
void hat(synth::StereoBuffer& out, size_t start, float velocity, bool open, uint32_t seed);

// A crash cymbal, two seconds of wide, decaying noise.
void crash(synth::StereoBuffer& out, size_t start, float velocity, uint32_t seed);

// A noise sweep rising in pitch and level over seconds, ending in the next downbeat.
void riser(synth::StereoBuffer& out, size_t start, double seconds, float velocity,
           uint32_t seed);

// A filtered saw bass note with a sub-octave sine; seconds is the held length.
void bass(synth::StereoBuffer& out, size_t start, double seconds, int note, float velocity,
          double brightness);

// A slow, wide pad note: three detuned saws through a lowpass that moves from
// cutoffStart to cutoffEnd (Hz) over the held length.
void pad(synth::StereoBuffer& out, size_t start, double seconds, int note, float velocity,
         double cutoffStart, double cutoffEnd);

// A plucked note for arpeggios: bright attack, quick decay; brightness scales the filter.
void pluck(synth::StereoBuffer& out, size_t start, int note, float velocity, double brightness,
           float pan);

// The lead voice: two detuned saws and a sub square with delayed vibrato.
void lead(synth::StereoBuffer& out, size_t start, double seconds, int note, float velocity,
          float pan);

} // namespace instruments

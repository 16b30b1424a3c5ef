// The music's beat grid as the maker gives it (--bpm, --beat-offset) or as it is estimated
// from the music's onsets: where the beats and bars fall, for the timeline strip, the
// status bar and the beat keys.
#pragma once

#include "audio/mp3_decoder.h"

constexpr int BeatsPerBar = 4;

// Beats at offsetMs + k x 60000 / bpm for every whole k, a bar starting on every fourth
// from the one at offsetMs.
struct BeatGrid {
    double bpm = 0.0;      // 0: no grid
    double offsetMs = 0.0; // where a bar's first beat falls
};

inline bool HasBeats(const BeatGrid& grid) { return grid.bpm > 0.0; }
inline double BeatMs(const BeatGrid& grid) { return 60000.0 / grid.bpm; }

// The time of beat k, counted from the one at the offset.
double BeatTime(const BeatGrid& grid, long long beat);

// The grid line after ms (direction 1) or before it (direction -1), counting lines every
// beatsPerLine beats (1: beats, BeatsPerBar: bars); a clock on a line (to within a
// microsecond) moves to the next one.
double StepOnGrid(const BeatGrid& grid, double ms, int direction, int beatsPerLine);

// The bar and the beat in it (both from 1) of the beat at or before ms; before the offset
// the bars count 0, -1, ...
void BarBeatAt(const BeatGrid& grid, double ms, long long& bar, int& beat);

// The music's tempo and first beat, estimated from stream (read from where it stands to
// its end, at most 20 minutes of it) by an autocorrelation of its onset envelope: the
// shortest beat between 60 and 200 BPM that repeats, on it and its next multiples, nearly
// as strongly as the best.
// Returns a grid without beats when the music is shorter than four seconds or has no
// onsets.
BeatGrid EstimateBeatGrid(Mp3Stream& stream);

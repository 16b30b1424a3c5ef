// The sound layer: one MP3 stream played once through the audio device; its play
// position in milliseconds is the show's clock.
#pragma once

#include "common/data_file.h"

struct SoundStream;

// The device buffer the player asks for, in frames at the rate it asks for. SDL hands
// the device one such buffer ahead of what the speaker plays.
constexpr int SoundBufferFrames = 1024;
constexpr int SoundRate = 44100;
// The audio delay that holds the picture back by that buffer (about 23 ms).
constexpr int DefaultAudioDelayMs = -(SoundBufferFrames * 1000 / SoundRate);

// Selects the audio output. Returns false when no output can be used. ALSA's own error
// printing is silenced meanwhile, here and in SoundInit: the caller reports a missing
// device in its own words.
bool SoundSetOutput();
// Opens the audio device at rate Hz (stereo), with room for channels streams playing at
// once. Returns false on failure.
bool SoundInit(int rate, int channels);
// Opens the MP3 file at path in folder as a stream that plays once, decoded a little ahead
// of the device and converted to its format. Returns null when the file is refused (see
// DataFolder::openFile with SoundtrackFileLimit: missing, not a regular file, too large)
// or undecodable, or before SoundInit has succeeded.
SoundStream* SoundStreamOpen(const char* path, const DataFolder& folder = DataFolder());
// Starts the stream on any free channel. Returns false when it cannot play.
bool SoundStreamPlay(SoundStream* stream);
// Takes the stream off its channel and closes it; the pointer is invalid afterwards.
// Does nothing for a null stream or one that is not open.
void SoundStreamClose(SoundStream* stream);
// The stream's play position in milliseconds (0 for a null stream).
int SoundStreamGetTime(SoundStream* stream);
// True once the device has taken the stream's last frame (false for a null stream).
bool SoundStreamEnded(SoundStream* stream);
// Moves the play position to ms milliseconds. Returns false for a null stream.
bool SoundStreamSetPosition(SoundStream* stream, int ms);
// Holds the stream silent where it is (paused true) or lets it play on from there.
// Returns false for a null stream.
bool SoundStreamPause(SoundStream* stream, bool paused);
// Stops playback, closes every stream and the device. Safe when sound was never started.
void SoundClose();

// What the tests and benchmarks measure inside the shell services; the player itself
// calls none of these.
#pragma once

#include <SDL.h>

struct SoundStream;

// The stream frame up to which the device has taken samples (0 for a null stream); lets
// tests hold the clock against what the device really consumed.
long long SoundStreamFramesConsumed(SoundStream* stream);
// Frames the device asked for in its latest callback, i.e. its buffer (0 before any).
int SoundDeviceBufferFrames();

// Hides the cursor once it has rested for CursorIdleMs at tick now; PumpMessages calls
// it with the current tick.
void HideIdleCursor(Uint32 now);

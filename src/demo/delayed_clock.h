// The clock the playback loop reads while music plays: the music's play position shifted
// by the audio delay, for a sound path that reaches the ears later (or earlier) than the
// samples reach the device.
#pragma once

#include <cstdint>

class DelayedClock {
public:
    // delayMs > 0 shows the picture earlier than the music, delayMs < 0 later.
    explicit DelayedClock(int delayMs) : delay_(delayMs) {}

    // The picture's time in ms for a music clock of musicMs at the millisecond tick
    // nowMs; ended says that the music has been handed to the device to its end. Never
    // below 0 and never below the previous reading: a picture held back stays on the
    // music's first frame until the speaker catches up. After the end a picture held
    // back goes on in real time until it reaches the music's end, so that the show's
    // last part still ends.
    int read(int musicMs, bool ended, uint32_t nowMs);

    // The music starts again from 0: the next reading may be lower than the last.
    void restart();

private:
    int delay_;
    int last_ = 0;
    bool endSeen_ = false;
    uint32_t endTick_ = 0;
};

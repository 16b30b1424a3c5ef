#include "demo/delayed_clock.h"

#include <algorithm>
#include <climits>

int DelayedClock::read(int musicMs, bool ended, uint32_t nowMs)
{
    long long shifted = static_cast<long long>(musicMs) + delay_;
    if (ended && delay_ < 0) {
        if (!endSeen_) {
            endSeen_ = true;
            endTick_ = nowMs;
        }
        // The speaker still plays the last of the music that the device has taken.
        shifted = std::min<long long>(musicMs, shifted + static_cast<uint32_t>(nowMs - endTick_));
    }
    shifted = std::clamp<long long>(shifted, last_, INT_MAX);
    last_ = static_cast<int>(shifted);
    return last_;
}

void DelayedClock::restart()
{
    last_ = 0;
    endSeen_ = false;
    endTick_ = 0;
}

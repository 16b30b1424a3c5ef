#include "app/display_modes.h"

int chooseFullscreenMode(const GrowableArray<DisplayMode>& modes, int width, int height)
{
    int chosen = -1;
    const int count = modes.size() < MaxDisplayModes ? modes.size() : MaxDisplayModes;
    for (int i = 0; i < count; ++i) {
        const DisplayMode& mode = modes[i];
        if (mode.width != width || mode.height != height)
            continue;
        // Strictly deeper only, so the first listed wins among equal depths.
        if (chosen < 0 || mode.bitsPerPixel > modes[chosen].bitsPerPixel)
            chosen = i;
    }
    return chosen;
}

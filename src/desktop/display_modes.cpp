#include "desktop/display_modes.h"

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

std::string describeMissingMode(const GrowableArray<DisplayMode>& modes, int width, int height)
{
    // Enough sizes to choose from without a line that runs off the message box.
    constexpr int MaxListed = 12;
    std::string offered;
    int listed = 0;
    bool more = false;
    const int count = modes.size() < MaxDisplayModes ? modes.size() : MaxDisplayModes;
    for (int i = 0; i < count; ++i) {
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j)
            seen = modes[j].width == modes[i].width && modes[j].height == modes[i].height;
        if (seen)
            continue;
        if (listed == MaxListed) {
            more = true;
            break;
        }
        if (listed > 0)
            offered += ", ";
        offered += std::to_string(modes[i].width) + "x" + std::to_string(modes[i].height);
        ++listed;
    }
    if (more)
        offered += ", ...";
    const std::string asked = std::to_string(width) + "x" + std::to_string(height);
    const std::string offers = listed > 0 ? "it offers " + offered : "it lists no modes";
    return asked + " is not offered by this display (" + offers +
           "); choose WindowMode or run with --mode desktop";
}

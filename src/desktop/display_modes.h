// Display modes: the list a display offers and the choice of the fullscreen mode.
#pragma once

#include "common/growable_array.h"

#include <string>

// One mode as the display describes it.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int refreshRate = 0; // Hz; 0 when unknown
};

// Most modes ever examined; a display listing more has the rest ignored.
constexpr int MaxDisplayModes = 4999;

// Index of the mode of exactly width x height with the deepest colour, the first
// listed among equal depths, refresh rate ignored. Returns -1 when none matches.
int chooseFullscreenMode(const GrowableArray<DisplayMode>& modes, int width, int height);

// What to tell the user when no mode of width x height is offered: the size asked for,
// the distinct sizes the display offers (in its own order) and how to get a picture
// anyway. Never fails; a display that lists nothing is said to offer no modes.
std::string describeMissingMode(const GrowableArray<DisplayMode>& modes, int width, int height);

// The timeline: the parts of the show in script order.
#pragma once

#include "common/growable_array.h"

#include <string>

// One part of the show.
struct TimelineEntry {
    int endTime = 0;             // end of the part on the show clock, ms since the music started
    std::string sceneName;       // key into the scene registry
    std::string cameraName;      // text searched for in the scene's node names
    std::string backgroundName;  // texture key drawn behind the scene, or "standard" for none
    std::string overlayName;     // texture key drawn over the scene, or "standard" for none
};

using TimelineArray = GrowableArray<TimelineEntry>;

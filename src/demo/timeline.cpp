#include "demo/timeline.h"

TimelineArray Timeline;

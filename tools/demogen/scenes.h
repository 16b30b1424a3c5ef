// The scenes of the bundled show, one scene file per section of the music (the parts that
// view them, with their cameras, are in show_timing.h).
#pragma once

#include "scene_writer.h"

#include <string>

// A chrome gyroscope over the sunset; glowing lights pop in on the beat.
SceneSpec introScene();
// A banded sun with planets and moons on nested orbits, an asteroid belt, two lights.
// Loops every four bars; viewed wide and from close by.
SceneSpec orbitScene();
// A fall down a neon shaft through chrome gates, the picture rolling as it goes.
SceneSpec tunnelScene();
// A liquid-chrome blob changing shape, lit by two circling coloured lights.
SceneSpec morphScene();
// Three coloured lights circling a chrome centrepiece over a checkered floor; marble pillars
// rise on the beat.
SceneSpec lightsScene();
// A white-line planet with a chrome ring below the credits. Loops every two bars.
SceneSpec finaleScene();

// Writes every scene file of the show into dataDir. Returns false and sets error,
// naming the file, when one cannot be written.
bool writeScenes(const std::string& dataDir, std::string& error);

// Sample scenes that put every node kind, track kind and material slot to use: the inputs of
// the robustness tests and the seeds of the scene reader's fuzzing.
#pragma once

#include "scene_writer.h"

// Every node kind, each animated on every track it has: a transform rig holding a morphing
// mesh and a static mesh, a camera and a spot with their targets, a light, a child under a
// target, keys on a shared frame, visibility toggles, and materials for every render-mode
// kind (plain, surface, environment, both, the undrawable slot) with long names. A mesh grid
// of gridSide x gridSide quads makes the file as large as needed (0 leaves it out).
SceneSpec sampleScene(int gridSide = 4);
// A camera looking at its target across a single triangle: the least a show draws.
SceneSpec minimalScene();
// Transform nodes nested `depth` levels deep, a mesh at the bottom.
SceneSpec nestedScene(int depth);

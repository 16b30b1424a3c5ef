// Drawing a scene's frames: the traversal behind Scene::renderFrame, and one frame on its own.
#pragma once

class Scene;

// Renders scene at demo time as one picture filling a band of bandWidth x bandHeight pixels
// at the origin of the current context's framebuffer: viewport on the band, colour and
// depth cleared, then the scene's frame (without background or overlay). For drawing
// outside the playback loop (tests, capture).
void RenderSceneAt(Scene& scene, float time, int bandWidth, int bandHeight);

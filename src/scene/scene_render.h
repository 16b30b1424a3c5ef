// Drawing a scene's frames: Scene::renderFrame (declared with the scene) and its traversal
// are defined in scene_render.cpp; one frame on its own is drawn here.
#pragma once

class Scene;

// Renders scene at demo time as one picture filling a band of bandWidth x bandHeight pixels
// at the origin of the current context's framebuffer: viewport on the band, colour and
// depth cleared, then the scene's frame (without background or overlay). For drawing
// outside the playback loop (tests, capture).
void RenderSceneAt(Scene& scene, float time, int bandWidth, int bandHeight);

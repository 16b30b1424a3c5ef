// Whether a camera sees anything of a scene: the vertices of its shown meshes against the
// camera's view volume, as the player projects it (between the near and far planes, within
// the field of view at the fixed picture shape).
#pragma once

struct CameraLook;
class Scene;

// Whether some vertex of the meshes the scene shows at time lies inside the view volume of
// look. Evaluates the scene's nodes at time (their tracks' cursors move; the next frame
// evaluates them again). anyVertex tells whether the scene has vertices to see at all;
// false without any.
bool SeesAnyVertex(Scene& scene, const CameraLook& look, float time, bool& anyVertex);

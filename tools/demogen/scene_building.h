// Building blocks for the show's scenes: key frames on the beat, turns, materials and the
// node kinds with the conventions every scene of the show follows.
#pragma once

#include "palette.h"
#include "scene_geometry.h"
#include "scene_writer.h"
#include "show_timing.h"

#include <string>
#include <vector>

namespace scenes {

constexpr float Pi = 3.14159265358979f;

// The part frame of beat b, counted from the start of the part.
constexpr int beat(int b) { return b * show::FramesPerBeat; }
constexpr int bar(int b) { return b * show::FramesPerBar; }

// The player draws with a projection of aspect 83:65 into a 16:9 picture, which widens
// everything by (16/9) / (83/65). Scenes stand on a stage node that narrows the world's
// horizontal axes by the inverse, so that round things look round through level cameras.
constexpr float StageSquash = (83.0f / 65.0f) / (16.0f / 9.0f);
// Where a point of the stage lies in the world (cameras live in the world).
Vector3 onStage(Vector3 stagePoint);

// The field-of-view track value of a vertical view angle in degrees.
float fieldOfView(float degrees);

// The quaternion a rotation key stores to turn a node's geometry by `radians` about the
// unit axis (right-handed): the player turns geometry by the conjugate of the key.
Quaternion turnKey(Vector3 axis, float radians);

// A rotation track turning steadily about the unit axis by `turns` whole turns per
// `period` frames (negative: the other way), from angle `phase` at frame 0, covering at
// least frames from..to. Keys are at most a quarter turn apart and reach past either end
// by a key, so the motion has no ease anywhere in between: a period-long loop is seamless.
RotationTrackSpec steadySpin(Vector3 axis, int turns, int period, int from, int to, float phase = 0.0f);
// A rotation track holding one orientation.
RotationTrackSpec fixedTurn(Vector3 axis, float radians);

// A rotation track swinging to and fro about the unit axis between centre - amplitude and
// centre + amplitude, a full swing every `period` frames (at centre + amplitude at frame
// 0), covering at least frames from..to.
RotationTrackSpec swing(Vector3 axis, float amplitude, int period, int from, int to, float centre = 0.0f);

// Keys that jump to `peak` on each of the given beats and settle back to `base` within
// `settle` frames; the track starts at rest no later than frame 0 and ends at rest.
VectorTrackSpec beatPulse(Vector3 base, Vector3 peak, const std::vector<int>& beats, int settle);
ScalarTrackSpec beatPulse(float base, float peak, const std::vector<int>& beats, int settle);
// The beats first, first + every, ... below end.
std::vector<int> beatsFrom(int first, int end, int every = 1);

// Keys along a circle about the Z axis through `centre` (radius, then height above the
// centre), at `angle` radians from +X at frame 0 turning `perFrame` radians each frame;
// a key every `step` frames, reaching a key beyond either end of from..to.
std::vector<KeySpec<Vector3>> circlePath(Vector3 centre, float radius, float height, float angle,
                                         float perFrame, int from, int to, int step);
// The same keys with every value scaled by factor.
std::vector<KeySpec<Vector3>> scaledKeys(std::vector<KeySpec<Vector3>> keys, float factor);

// Materials. A map amount of 1 draws opaque; below 1 the surface adds its light.
MaterialSpec whiteLines(const std::string& name);
MaterialSpec textured(const std::string& name, const char* texture, float amount = 1.0f);
MaterialSpec chrome(const std::string& name);
MaterialSpec texturedChrome(const std::string& name, const char* texture);

// Mesh nodes. Once a sphere-mapped surface has been drawn, the player culls the
// triangles that face the viewer counter-clockwise, so a surface shows from the side
// its triangles are wound clockwise from. A mirrored x axis turns the winding round
// while the normals keep pointing where they did: a mirrored mesh built the usual way
// (counter-clockwise towards the viewer) shows the right side, lit the right way.
// Every scene draws a sphere-mapped mesh first, so that this holds from its first frame.
enum class Facing {
    Mirrored, // shows the side its normals point to
    AsBuilt,  // shows the side away from its normals (a shell lit from within)
};
// A mesh node at `at` drawing the mesh's faces with one material.
NodeSpec meshNode(const std::string& name, const Mesh& mesh, int material, Vector3 at = {},
                  Facing facing = Facing::Mirrored);
// The scale a mesh node with the given facing needs to appear at `size`.
Vector3 meshScale(float size, Facing facing = Facing::Mirrored);

// The player draws a part's overlay in the colour the scene leaves current, and a
// translucent surface leaves white with its own opacity. Every scene ends with this
// mesh: it has no triangles, its translucent group has it drawn after every other
// surface, and its white-line group then leaves opaque white behind.
NodeSpec overlayReset(int translucentMaterial, int linesMaterial);

// A transform node at `at`.
NodeSpec transformNode(const std::string& name, Vector3 at = {});
// The stage every scene stands on (see StageSquash).
NodeSpec stageNode(const std::string& name);
// A light node at `at`. The player places a light at its position taken through its own
// transform as well, so relative to its parent it shines from twice `at`.
NodeSpec lightNode(const std::string& name, Colour colour, Vector3 at = {});
// Hidden from frame 0 until `frame`, then shown for good.
void popIn(NodeSpec& node, int frame);

// A camera and its target sharing a name, the camera first, so that looking the name up
// finds the camera. Eye and target keys are stage points; fov keys are degrees, roll keys
// radians.
struct CameraMove {
    std::string name;
    std::vector<KeySpec<Vector3>> eye;
    std::vector<KeySpec<Vector3>> target;
    std::vector<KeySpec<float>> fovDegrees;
    std::vector<KeySpec<float>> roll;
    bool staged = true; // eye and target are stage points (false: world points)
};
void addCamera(std::vector<NodeSpec>& nodes, const CameraMove& move);

} // namespace scenes

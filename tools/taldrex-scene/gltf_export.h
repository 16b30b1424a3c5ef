// Scene to glTF 2.0: the node tree, meshes, materials, cameras and lights of a loaded scene,
// with every track sampled at every frame by the player's own evaluation.
#pragma once

#include "common/quaternion.h"
#include "common/vector3.h"

#include <array>
#include <string>
#include <vector>

class Scene;

// The glTF frame of a point or direction of the player's world: the player's Z is up,
// glTF's Y, so glTF (x, y, z) = player (x, z, -y).
inline Vector3 ToGltfAxes(const Vector3& v)
{
    return {v.x, v.z, -v.y};
}

// A scale of the player's world in glTF's axes: the Y and Z factors swap.
inline Vector3 ToGltfScale(const Vector3& v)
{
    return {v.x, v.z, v.y};
}

// The glTF rotation (x, y, z, w) of a rotation track's quaternion: the player turns geometry
// by the conjugate of the quaternion, whose axis then changes as ToGltfAxes says.
inline std::array<float, 4> ToGltfRotation(const Quaternion& q)
{
    return {-q.x, -q.z, q.y, q.w};
}

struct GltfExportOptions {
    // The demo folder whose data/ the materials' pictures are found in, as the player finds
    // them; empty for none (the glTF then has no textures).
    std::string demoFolder;
    // The scene file's path: where the script lists it decides which pictures it can find.
    std::string sceneFile;
    // Samples per second of part time; the player's frames are 30 a second.
    int fps = 30;
};

struct GltfExportSummary {
    int samples = 0;   // samples of every animated channel
    int lastFrame = 0; // the key range sampled: frames 0 to lastFrame
    int nodes = 0;
    int meshes = 0;
    int cameras = 0;
    int lights = 0;
    int images = 0;
    // What the glTF cannot hold as the player shows it, one sentence each.
    std::vector<std::string> notes;
};

// The last key frame of any track of the scene (0 when none is later): the exporter
// samples part time from frame 0 to this frame.
int LastKeyFrame(const Scene& scene);

// Writes scene, loaded and not yet evaluated, to path: binary glTF for a name ending in
// ".glb", JSON with a .bin beside it for ".gltf". Evaluates the scene's nodes (their track
// cursors and visibility states move). Returns false, with error naming the problem,
// when the name has neither ending, fps is not positive or the file cannot be written.
bool ExportGltf(Scene& scene, const std::string& path, const GltfExportOptions& options,
                GltfExportSummary& summary, std::string& error);

// The names of the glTF nodes made for a player node beside the node itself.
namespace GltfNames {
// The child that carries a mesh's geometry when the mesh can be hidden (scaled to 0 while it is).
inline std::string shown(const std::string& node) { return node + ":shown"; }
// The child that carries a light node's light, at the node's position in its own frame.
inline std::string light(const std::string& node) { return node + ":light"; }
// The node that keeps a camera's children in the tree (the camera itself is top level).
inline std::string cameraChildren(const std::string& node) { return node + ":children"; }
} // namespace GltfNames

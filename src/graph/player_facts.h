// Facts of the player that the makers' tools must agree with: the units of a camera's field
// of view, the shape of the picture, its clip planes and depth buffer, how many lights are
// lit, the node kinds and the material's map slots. The engine and the tools both take them
// from here.
#pragma once

#include <cstdint>

// A camera's field-of-view value times 360 times this (close to, not exactly, 1 / pi) is
// its vertical angle in degrees.
constexpr double FovToDegrees = 0.31830989161357204;

// The vertical angle in degrees of a field-of-view value, as the player computes it.
inline double FieldOfViewDegrees(float fov)
{
    return static_cast<double>(fov * 360.0f) * FovToDegrees;
}

// The field-of-view value of a vertical angle in degrees.
inline float FieldOfViewValue(double degrees)
{
    return float(degrees / (360 * FovToDegrees));
}

// Width over height of every picture the player draws: 83:65.
constexpr double FixedAspect = 83.0 / 65.0;
// The clip planes; the player hands the near one to OpenGL in single precision.
constexpr double NearPlane = 0.1;
constexpr double FarPlane = 10000.0;
// Bits of the depth buffer the window asks for; drivers may give exactly that.
constexpr int DepthBufferBits = 16;

// OpenGL offers eight light units; lights met after the eighth in a frame have no effect.
constexpr int32_t maxLights = 8;

// What a node is; the traversals and post-load passes test it. The file's type id of a
// node is its kind minus one (the scene itself has no type id).
enum class NodeKind : int32_t { Scene = 0, Mesh = 1, Camera = 2, Target = 3, Spot = 4, Light = 5, Transform = 6 };

// The type id a scene file gives a node of this kind.
constexpr int32_t NodeTypeId(NodeKind kind)
{
    return static_cast<int32_t>(kind) - 1;
}

// A material's map slots.
constexpr int MaterialMapCount = 11;
constexpr int SurfaceMapSlot = 1;     // texture drawn with the faces' coordinates
constexpr int UndrawableMapSlot = 8;  // asks for a drawing style nothing offers
constexpr int EnvironmentMapSlot = 9; // sphere-mapped environment texture

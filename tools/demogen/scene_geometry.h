// Meshes for the bundled show's scenes, built in code: vertex lists and textured triangles.
// Triangles are wound counter-clockwise seen from the side their normals point to, the
// way the player computes vertex normals from them.
#pragma once

#include "scene_writer.h"

#include <functional>
#include <vector>

struct Mesh {
    std::vector<Vector3> vertices;
    // Drawn triangles.
    std::vector<FaceSpec> faces;
    // Triangles no material group draws: they only bend the normals of their vertices.
    std::vector<FaceSpec> shadingFaces;

    // Appends another mesh's vertices and triangles.
    void append(const Mesh& other);
};

// A vertex's position on a parametric surface; a and b run over [0, 1].
using SurfacePoint = std::function<Vector3(float a, float b)>;

// How a surface's texture coordinates follow its parameters: s = a * sRepeat, t = b * tRepeat.
struct TextureRepeat {
    float s = 1.0f;
    float t = 1.0f;
};

// A quad grid over a parametric surface with aSteps x bSteps cells, normals along
// d/da x d/db. A parameter that wraps shares its first and last vertices; `pinnedEnds`
// collapses the rows at a = 0 and a = 1 to single vertices (the poles of a sphere).
// Vertices are shared between neighbouring cells, so the shading is smooth.
Mesh surface(int aSteps, int bSteps, bool aWraps, bool bWraps, bool pinnedEnds,
             const SurfacePoint& point, TextureRepeat repeat = {});

// A sphere about the origin, outward normals; texture s around, t from pole to pole.
Mesh sphere(float radius, int rings, int segments, TextureRepeat repeat = {});
// A torus about the Z axis, outward normals; texture s along the ring, t around the tube.
Mesh torus(float ringRadius, float tubeRadius, int ringSteps, int tubeSteps,
           TextureRepeat repeat = {});
// An open cylinder about the Z axis from z = top down to z = top - length, normals
// towards the axis (seen from inside); texture s around, t along.
Mesh tunnel(float radius, float top, float length, int sides, int rings, TextureRepeat repeat = {});
// A box about the origin with half sizes `half`: each side has its own corners, so the
// edges stay sharp; every side shows the whole texture.
Mesh box(Vector3 half);
// A flat grid in the XY plane about the origin, facing +Z; the texture repeats `repeat` times.
Mesh floorGrid(float width, float depth, int columns, int rows, float repeat);
// Three crossed squares about the origin, each showing the whole texture: a soft sprite
// that looks round from every side when drawn translucent with a glow texture.
Mesh glowSprite(float radius);

// A flat disc in the XY plane about the origin, facing +Z, the texture's middle at its
// centre and its edges touching the rim.
Mesh disc(float radius, int steps);
// One square in the XZ plane about the origin showing the whole texture: a flat sprite
// for a glow seen from one side (down the Y axis).
Mesh glowCard(float radius);

// Line segments for the white-line material, which joins consecutive triangle corners:
// endpoints come in pairs (a, b), packed into triangles in order.
Mesh lineSegments(const std::vector<Vector3>& endpoints);
// The endpoints of a circle of `steps` segments about `centre`, in the plane spanned by
// the unit vectors u and v.
void addCircle(std::vector<Vector3>& endpoints, Vector3 centre, Vector3 u, Vector3 v,
               float radius, int steps);

// Adds shading faces that turn every current vertex's normal towards `point` (or away
// from it), outweighing the drawn triangles' own contributions.
void shadeTowards(Mesh& mesh, Vector3 point);

// Reverses the winding of every drawn triangle, so that its normals point the other way.
void turnInsideOut(Mesh& mesh);

// Geometry helpers applied to every vertex.
void moveMesh(Mesh& mesh, Vector3 offset);
void scaleMesh(Mesh& mesh, Vector3 factors);
// Turns the mesh by `radians` about the unit axis through the origin (right-handed).
void turnMesh(Mesh& mesh, Vector3 axis, float radians);

// Vector helpers.
float length(Vector3 v);
Vector3 normalised(Vector3 v);
// v turned by radians about the unit axis (right-handed).
Vector3 turned(Vector3 v, Vector3 axis, float radians);

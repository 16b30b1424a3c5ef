// The double-precision arithmetic of the glTF import: vectors, column-major matrices and
// local transforms, and the turn from glTF's Y-up axes to the player's Z-up ones.
#pragma once

#include "common/quaternion.h"
#include "common/vector3.h"

#include <array>
#include <cmath>

namespace gltf_import {

constexpr double pi = 3.14159265358979323846;

struct DVec3 {
    double x = 0, y = 0, z = 0;
};
inline DVec3 operator+(DVec3 a, DVec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DVec3 operator-(DVec3 a, DVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DVec3 operator*(DVec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot3(DVec3 a, DVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec3 cross3(DVec3 a, DVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double length3(DVec3 a) { return std::sqrt(dot3(a, a)); }
inline DVec3 normalised(DVec3 a)
{
    double l = length3(a);
    return l > 0 ? a * (1.0 / l) : a;
}
// glTF is Y-up, the player Z-up: (x, y, z) -> (x, -z, y).
inline Vector3 toPlayer(DVec3 v) { return Vector3(float(v.x), float(-v.z), float(v.y)); }
inline DVec3 toPlayerD(DVec3 v) { return {v.x, -v.z, v.y}; }
// A point already in the player's axes, in the player's floats. Defined apart so that
// callers read back the rounded floats (GCC 12 at -O2 was seen to keep the doubles when
// the rounding was inlined beside a read of the stored floats).
Vector3 toFloats(DVec3 v);

// Column-major 4x4 matrix.
using Mat4 = std::array<double, 16>;
Mat4 identity4();
Mat4 multiply(const Mat4& a, const Mat4& b);
DVec3 transformPoint(const Mat4& m, DVec3 p);
DVec3 transformVector(const Mat4& m, DVec3 p);
// The determinant of the matrix's 3 x 3 part: below 0 where it mirrors space.
double determinant3(const Mat4& m);

// A local transform in glTF terms; the rotation is x, y, z, w.
struct Trs {
    DVec3 t;
    std::array<double, 4> r{0, 0, 0, 1};
    DVec3 s{1, 1, 1};
};

Mat4 trsMatrix(const Trs& trs);

// Splits a matrix into translation, rotation and scale; false when it holds a shear.
bool decompose(const Mat4& m, Trs& out);

// The rotation as the player stores it: the conjugate of the axis-converted quaternion.
Quaternion toPlayerRotation(const std::array<double, 4>& r);

} // namespace gltf_import

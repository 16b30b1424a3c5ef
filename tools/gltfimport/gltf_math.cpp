#include "gltf_math.h"

#include <cmath>

namespace gltf_import {

Vector3 toFloats(DVec3 v)
{
    return Vector3(float(v.x), float(v.y), float(v.z));
}

Mat4 identity4()
{
    Mat4 m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

Mat4 multiply(const Mat4& a, const Mat4& b)
{
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = s;
        }
    return r;
}

DVec3 transformPoint(const Mat4& m, DVec3 p)
{
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

DVec3 transformVector(const Mat4& m, DVec3 p)
{
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
            m[2] * p.x + m[6] * p.y + m[10] * p.z};
}

Mat4 trsMatrix(const Trs& trs)
{
    double x = trs.r[0], y = trs.r[1], z = trs.r[2], w = trs.r[3];
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    if (l > 0) {
        x /= l, y /= l, z /= l, w /= l;
    }
    Mat4 m = identity4();
    m[0] = (1 - 2 * (y * y + z * z)) * trs.s.x;
    m[1] = (2 * (x * y + w * z)) * trs.s.x;
    m[2] = (2 * (x * z - w * y)) * trs.s.x;
    m[4] = (2 * (x * y - w * z)) * trs.s.y;
    m[5] = (1 - 2 * (x * x + z * z)) * trs.s.y;
    m[6] = (2 * (y * z + w * x)) * trs.s.y;
    m[8] = (2 * (x * z + w * y)) * trs.s.z;
    m[9] = (2 * (y * z - w * x)) * trs.s.z;
    m[10] = (1 - 2 * (x * x + y * y)) * trs.s.z;
    m[12] = trs.t.x;
    m[13] = trs.t.y;
    m[14] = trs.t.z;
    return m;
}

double determinant3(const Mat4& m)
{
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

bool decompose(const Mat4& m, Trs& out)
{
    out.t = {m[12], m[13], m[14]};
    DVec3 c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    double sx = length3(c0), sy = length3(c1), sz = length3(c2);
    if (dot3(cross3(c0, c1), c2) < 0)
        sx = -sx;
    out.s = {sx, sy, sz};
    if (sx == 0 || sy == 0 || sz == 0) {
        out.r = {0, 0, 0, 1};
        return false;
    }
    c0 = c0 * (1 / sx), c1 = c1 * (1 / sy), c2 = c2 * (1 / sz);
    double r00 = c0.x, r10 = c0.y, r20 = c0.z, r01 = c1.x, r11 = c1.y, r21 = c1.z, r02 = c2.x, r12 = c2.y,
           r22 = c2.z;
    double trace = r00 + r11 + r22;
    double x, y, z, w;
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        w = 0.25 * s, x = (r21 - r12) / s, y = (r02 - r20) / s, z = (r10 - r01) / s;
    } else if (r00 > r11 && r00 > r22) {
        double s = std::sqrt(1.0 + r00 - r11 - r22) * 2;
        w = (r21 - r12) / s, x = 0.25 * s, y = (r01 + r10) / s, z = (r02 + r20) / s;
    } else if (r11 > r22) {
        double s = std::sqrt(1.0 + r11 - r00 - r22) * 2;
        w = (r02 - r20) / s, x = (r01 + r10) / s, y = 0.25 * s, z = (r12 + r21) / s;
    } else {
        double s = std::sqrt(1.0 + r22 - r00 - r11) * 2;
        w = (r10 - r01) / s, x = (r02 + r20) / s, y = (r12 + r21) / s, z = 0.25 * s;
    }
    out.r = {x, y, z, w};
    const double shear = std::fabs(dot3(c0, c1)) + std::fabs(dot3(c1, c2)) + std::fabs(dot3(c0, c2));
    return shear < 1e-4;
}

Quaternion toPlayerRotation(const std::array<double, 4>& r)
{
    double x = r[0], y = r[1], z = r[2], w = r[3];
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(l > 0))
        return Quaternion();
    x /= l, y /= l, z /= l, w /= l;
    // Converted vector part (x, -z, y), conjugated.
    return Quaternion(float(w), float(-x), float(z), float(-y));
}

} // namespace gltf_import

#include "anim/rotation_track.h"

#include <cmath>

#include "anim/tcb.h"

namespace {

Quaternion blend(const Quaternion& a, float sa, const Quaternion& b, float sb)
{
    return {sa * a.w + sb * b.w, sa * a.x + sb * b.x, sa * a.y + sb * b.y, sa * a.z + sb * b.z};
}

} // namespace

Quaternion slerp(const Quaternion& a, const Quaternion& b, float t)
{
    return slerpAlong(a, b, measureArc(a, b), t);
}

Arc measureArc(const Quaternion& a, const Quaternion& b)
{
    float c = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (c > 1.0f)
        c = 1.0f;
    else if (c < -1.0f)
        c = -1.0f;
    Arc arc;
    arc.cosine = c;
    arc.angle = std::acos(c);
    // sin(arccos c), without a third transcendental call; 1 - c is exact near 1.
    float s = std::sqrt((1.0f - c) * (1.0f + c));
    // Equal or opposite quaternions leave no plane to turn in; slerpAlong then blends the
    // components instead.
    arc.inverseSine = s < 1e-6f ? 0.0f : 1.0f / s;
    return arc;
}

Quaternion slerpAlong(const Quaternion& a, const Quaternion& b, const Arc& arc, float t)
{
    if (arc.inverseSine == 0.0f)
        return blend(a, 1.0f - t, b, t);
    // sin((1 - t) angle) = sin(angle) cos(t angle) - cos(angle) sin(t angle): one sine and
    // one cosine of the same angle give both weights.
    float sine = std::sin(t * arc.angle);
    float cosine = std::cos(t * arc.angle);
    float weightB = sine * arc.inverseSine;
    return blend(a, cosine - arc.cosine * weightB, b, weightB);
}

Matrix4 localMatrix(const Vector3& position, const Quaternion& rotation, const Vector3& scale)
{
    // Each component carries sqrt(2), so every pairwise product already holds the factor 2.
    const float root2 = 1.41421354f;
    float w = rotation.w * root2, x = rotation.x * root2, y = rotation.y * root2,
          z = rotation.z * root2;
    float xx = x * x, yy = y * y, zz = z * z;
    float xy = x * y, xz = x * z, yz = y * z;
    float wx = w * x, wy = w * y, wz = w * z;
    Matrix4 m;
    m[0] = (1.0f - yy - zz) * scale.x;
    m[1] = (xy - wz) * scale.x;
    m[2] = (xz + wy) * scale.x;
    m[3] = 0.0f;
    m[4] = (xy + wz) * scale.y;
    m[5] = (1.0f - xx - zz) * scale.y;
    m[6] = (yz - wx) * scale.y;
    m[7] = 0.0f;
    m[8] = (xz - wy) * scale.z;
    m[9] = (yz + wx) * scale.z;
    m[10] = (1.0f - xx - yy) * scale.z;
    m[11] = 0.0f;
    m[12] = position.x;
    m[13] = position.y;
    m[14] = position.z;
    m[15] = 1.0f;
    return m;
}

void RotationKey::read(SceneReader& reader)
{
    readTcbFields(reader);
    float wxyz[4];
    if (reader.readBlock(wxyz, sizeof wxyz))
        value = Quaternion(wxyz[0], wxyz[1], wxyz[2], wxyz[3]);
}

void RotationTrack::prepare()
{
    int32_t n = keys.size();
    if (n < 2)
        return;
    if (n == 2) {
        RotationKey& k0 = *keys[0];
        RotationKey& k1 = *keys[1];
        k0.outControl = slerp(k0.value, k1.value, (1.0f - k0.tension) / 3.0f);
        k1.inControl = slerp(k1.value, k0.value, (1.0f - k1.tension) / 3.0f);
        measureSegments();
        return;
    }
    {
        RotationKey& k0 = *keys[0];
        k0.outControl = slerp(k0.value, keys[1]->value,
                              (1.0f + k0.bias * k0.continuity) * (1.0f - k0.tension) / 3.0f);
    }
    for (int32_t i = 1; i < n - 1; ++i) {
        RotationKey& k = *keys[i];
        const Quaternion& previous = keys[i - 1]->value;
        const Quaternion& next = keys[i + 1]->value;
        float sMinus = tcb::frameSpan(keys[i - 1]->frame, k.frame);
        float sPlus = tcb::frameSpan(k.frame, keys[i + 1]->frame);
        float aIn = tcb::spacingFactor(k.continuity, sMinus, sPlus);
        float aOut = tcb::spacingFactor(k.continuity, sPlus, sMinus);
        // R1 lies beyond the key on the far side from the previous key, R2 towards the next.
        Quaternion r1 = slerp(k.value, previous, -(1.0f + k.bias) / 3.0f);
        Quaternion r2 = slerp(k.value, next, (1.0f - k.bias) / 3.0f);
        k.inControl = slerp(k.value, slerp(r1, r2, (1.0f + k.continuity) / 2.0f),
                            -2.0f * (1.0f - k.tension) * aIn);
        k.outControl = slerp(k.value, slerp(r1, r2, (1.0f - k.continuity) / 2.0f),
                             2.0f * (1.0f - k.tension) * aOut);
    }
    {
        RotationKey& last = *keys[n - 1];
        last.inControl = slerp(last.value, keys[n - 2]->value,
                               (1.0f - last.bias * last.continuity) * (1.0f - last.tension) / 3.0f);
    }
    measureSegments();
}

void RotationTrack::measureSegments()
{
    for (int32_t i = 0; i + 1 < keys.size(); ++i) {
        RotationKey& a = *keys[i];
        const RotationKey& b = *keys[i + 1];
        a.segmentArcs[0] = measureArc(a.value, a.outControl);
        a.segmentArcs[1] = measureArc(a.outControl, b.inControl);
        a.segmentArcs[2] = measureArc(b.inControl, b.value);
    }
}

void RotationTrack::read(SceneReader& reader)
{
    tcb::readSpline<RotationKey>(reader, headerWord, keys, keyRecordBytes);
}

Quaternion RotationTrack::evaluate(float time)
{
    int32_t n = keys.size();
    if (n == 0)
        return Quaternion(1.0f, 0.0f, 0.0f, 0.0f);
    tcb::searchKeys(cursor, n, time, [&](int32_t i) { return keys[i]->frame; });
    if (cursor == n - 1)
        return keys[cursor]->value;
    const RotationKey& a = *keys[cursor];
    const RotationKey& b = *keys[cursor + 1];
    float t = tcb::segmentParameter(time, a.frame, b.frame);
    // De Casteljau on the sphere over the four Bezier points.
    Quaternion s01 = slerpAlong(a.value, a.outControl, a.segmentArcs[0], t);
    Quaternion s12 = slerpAlong(a.outControl, b.inControl, a.segmentArcs[1], t);
    Quaternion s23 = slerpAlong(b.inControl, b.value, a.segmentArcs[2], t);
    Quaternion s012 = slerp(s01, s12, t);
    Quaternion s123 = slerp(s12, s23, t);
    return slerp(s012, s123, t);
}

RotationKey& RotationTrack::addKey(int32_t frame, const Quaternion& value)
{
    keys.append(std::make_unique<RotationKey>(frame, value));
    return *keys[keys.size() - 1];
}

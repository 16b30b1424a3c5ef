#include "anim/vector_track.h"

#include "anim/tcb.h"

Vector3 hermiteVector(const Vector3& p0, const Vector3& p1, const Vector3& t0, const Vector3& t1,
                      float t)
{
    tcb::HermiteBasis h = tcb::hermiteBasis(t);
    return p0 * h.h1 + t0 * h.h2 + p1 * h.h3 + t1 * h.h4;
}

void VectorKey::read(SceneReader& reader)
{
    readTcbFields(reader);
    float xyz[3];
    if (reader.readBlock(xyz, sizeof xyz))
        value = Vector3(xyz[0], xyz[1], xyz[2]);
}

void VectorTrack::prepare() { tcb::prepareSpline(keys); }

void VectorTrack::read(SceneReader& reader)
{
    tcb::readSpline<VectorKey>(reader, headerWord, keys, keyRecordBytes);
}

Vector3 VectorTrack::evaluate(float time)
{
    int32_t n = keys.size();
    if (n == 0)
        return restValue;
    tcb::searchKeys(cursor, n, time, [&](int32_t i) { return keys[i]->frame; });
    if (cursor == n - 1)
        return keys[cursor]->value;
    const VectorKey& a = *keys[cursor];
    const VectorKey& b = *keys[cursor + 1];
    return hermiteVector(a.value, b.value, a.outTangent, b.inTangent,
                         tcb::segmentParameter(time, a.frame, b.frame));
}

VectorKey& VectorTrack::addKey(int32_t frame, const Vector3& value)
{
    keys.append(std::make_unique<VectorKey>(frame, value));
    return *keys[keys.size() - 1];
}

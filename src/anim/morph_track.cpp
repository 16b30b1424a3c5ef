#include "anim/morph_track.h"

#include <algorithm>

#include "anim/tcb.h"
#include "common/scene_reader.h"

namespace {

// Bytes of one stored vertex position.
constexpr size_t positionBytes = 12;

} // namespace

void MorphKey::read(SceneReader& reader)
{
    readTcbFields(reader);
    int32_t count = reader.readCount(positionBytes, "morph key positions");
    positions.setSize(count);
    reader.readItems(positions.data(), positionBytes, static_cast<size_t>(count));
}

void MorphTrack::read(SceneReader& reader)
{
    reader.readInt32(headerWord);
    int32_t n = reader.readCount(keyRecordBytes, "morph keys");
    keys.setSize(n);
    for (int32_t i = 0; i < n; ++i)
        keys[i].read(reader);
    if (n > 1)
        output.setSize(keys[0].positions.size());
}

void MorphTrack::prepare()
{
    int32_t n = keys.size();
    if (n < 2)
        return;
    // Keys of differing vertex counts are only ever blended up to the smallest count (a mesh
    // does not morph with such a track at all); no loop reads past any key's positions.
    int32_t count = keys[0].positions.size();
    for (const MorphKey& key : keys)
        count = std::min(count, key.positions.size());
    // A track built in code rather than read gets its output here, still before any frame.
    if (output.size() != keys[0].positions.size())
        output.setSize(keys[0].positions.size());

    if (n == 2) {
        MorphKey& k0 = keys[0];
        MorphKey& k1 = keys[1];
        k0.outTangents.setSize(count);
        k1.inTangents.setSize(count);
        float out0 = 1.0f - k0.tension, in1 = 1.0f - k1.tension;
        for (int32_t j = 0; j < count; ++j) {
            Vector3 d = k1.positions[j] - k0.positions[j];
            k0.outTangents[j] = d * out0;
            k1.inTangents[j] = d * in1;
        }
        return;
    }

    // Both tangents of an inner key share the spacing factor of the preceding interval.
    auto innerFactor = [&](int32_t i) {
        float sMinus = tcb::frameSpan(keys[i - 1].frame, keys[i].frame);
        float sPlus = tcb::frameSpan(keys[i].frame, keys[i + 1].frame);
        return tcb::spacingFactor(keys[i].continuity, sMinus, sPlus);
    };

    {
        // Key 1's incoming tangent is needed first to mirror the first key's missing neighbour.
        const MorphKey& k0 = keys[0];
        const MorphKey& k1 = keys[1];
        const MorphKey& k2 = keys[2];
        float a = innerFactor(1);
        Vector3Array& out = keys[0].outTangents;
        out.setSize(count);
        for (int32_t j = 0; j < count; ++j) {
            Vector3 dMinus = k1.positions[j] - k0.positions[j];
            Vector3 dPlus = k2.positions[j] - k1.positions[j];
            Vector3 in1 = tcb::incomingTangent(k1, a, dMinus, dPlus);
            out[j] = tcb::firstTangent(k0, dMinus, in1);
        }
    }
    for (int32_t i = 1; i < n - 1; ++i) {
        MorphKey& k = keys[i];
        const Vector3Array& previous = keys[i - 1].positions;
        const Vector3Array& next = keys[i + 1].positions;
        float a = innerFactor(i);
        k.inTangents.setSize(count);
        k.outTangents.setSize(count);
        for (int32_t j = 0; j < count; ++j) {
            Vector3 dMinus = k.positions[j] - previous[j];
            Vector3 dPlus = next[j] - k.positions[j];
            k.inTangents[j] = tcb::incomingTangent(k, a, dMinus, dPlus);
            k.outTangents[j] = tcb::outgoingTangent(k, a, dMinus, dPlus);
        }
    }
    {
        MorphKey& last = keys[n - 1];
        const MorphKey& before = keys[n - 2];
        last.inTangents.setSize(count);
        for (int32_t j = 0; j < count; ++j)
            last.inTangents[j] = tcb::lastTangent(last, last.positions[j] - before.positions[j],
                                                  before.outTangents[j]);
    }
}

const Vector3Array& MorphTrack::evaluate(float time, const Vector3Array& restPositions)
{
    int32_t n = keys.size();
    if (n == 0)
        return restPositions;
    tcb::searchKeys(cursor, n, time, [&](int32_t i) { return keys[i].frame; });
    if (cursor == n - 1)
        return keys[cursor].positions;
    const MorphKey& a = keys[cursor];
    const MorphKey& b = keys[cursor + 1];
    tcb::HermiteBasis h = tcb::hermiteBasis(tcb::segmentParameter(time, a.frame, b.frame));
    // Only vertices every array of the segment holds are blended (all of them when prepared
    // keys agree on the vertex count).
    int32_t count = std::min({output.size(), a.positions.size(), a.outTangents.size(),
                              b.positions.size(), b.inTangents.size()});
    const Vector3* p0 = a.positions.data();
    const Vector3* t0 = a.outTangents.data();
    const Vector3* p1 = b.positions.data();
    const Vector3* t1 = b.inTangents.data();
    Vector3* result = output.data();
    for (int32_t j = 0; j < count; ++j) {
        result[j].x = h.h1 * p0[j].x + h.h2 * t0[j].x + h.h3 * p1[j].x + h.h4 * t1[j].x;
        result[j].y = h.h1 * p0[j].y + h.h2 * t0[j].y + h.h3 * p1[j].y + h.h4 * t1[j].y;
        result[j].z = h.h1 * p0[j].z + h.h2 * t0[j].z + h.h3 * p1[j].z + h.h4 * t1[j].z;
    }
    return output;
}

bool MorphTrack::fits(int vertexCount) const
{
    for (const MorphKey& key : keys)
        if (key.positions.size() != vertexCount)
            return false;
    return true;
}

// MorphTrack: a keyframe track whose keys are whole sets of mesh vertex positions.
#pragma once

#include "anim/track.h"
#include "common/growable_array.h"
#include "common/vector3_array.h"

// One shape of a morphing mesh with its per-vertex tangents (set by MorphTrack::prepare).
class MorphKey : public TcbKey {
public:
    MorphKey() = default;
    MorphKey(MorphKey&&) = default;
    MorphKey& operator=(MorphKey&&) = default;

    // Reads one key record (28 bytes + 12 per position).
    void read(SceneReader& reader) override;

    Vector3Array inTangents;
    Vector3Array positions;
    Vector3Array outTangents;
};

class MorphTrack : public Track {
public:
    // Bytes of a key record without its positions.
    static constexpr int keyRecordBytes = 28;

    // Computes every key's per-vertex tangents (nothing for fewer than two keys) and makes
    // sure `output` holds key 0's vertex count.
    void prepare() override;
    // Reads the track record; with two or more keys `output` is sized once, here.
    void read(SceneReader& reader) override;

    // The vertex positions at a demo time: a key's positions (one key, or at/after the last),
    // `output` freshly blended, or restPositions when there are no keys. Moves the cursor;
    // the result stays valid until the next evaluation. Allocates nothing.
    const Vector3Array& evaluate(float time, const Vector3Array& restPositions);
    // Whether every key holds exactly vertexCount positions (a mesh morphs only then).
    bool fits(int vertexCount) const;

    // Keys by value, in file order.
    GrowableArray<MorphKey> keys;
    // The result of the last blended evaluation.
    Vector3Array output;
};

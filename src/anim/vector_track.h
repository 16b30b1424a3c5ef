// VectorTrack: a Kochanek-Bartels spline track of 3-vectors (positions and scales).
#pragma once

#include <memory>

#include "anim/track.h"
#include "common/growable_array.h"
#include "common/vector3.h"

// The cubic Hermite blend of points p0, p1 with tangents t0, t1 at parameter t.
Vector3 hermiteVector(const Vector3& p0, const Vector3& p1, const Vector3& t0, const Vector3& t1,
                      float t);

// One key of a vector track; the tangents are per segment and set by prepare().
class VectorKey : public TcbKey {
public:
    VectorKey() = default;
    VectorKey(int32_t frame_, const Vector3& value_) : value(value_) { frame = frame_; }

    // Reads the 36-byte key record.
    void read(SceneReader& reader) override;

    Vector3 inTangent;
    Vector3 value;
    Vector3 outTangent;
};

class VectorTrack : public Track {
public:
    // Bytes of one key record in a file.
    static constexpr int keyRecordBytes = 36;

    // restValue is what a track without keys evaluates to ((0,0,0) positions, (1,1,1) scales).
    explicit VectorTrack(const Vector3& restValue_ = Vector3()) : restValue(restValue_) {}

    void prepare() override;
    void read(SceneReader& reader) override;

    // The value at a demo time (frames); restValue for a track without keys. Moves the cursor.
    Vector3 evaluate(float time);
    // Appends a key (for building tracks in code) and returns it.
    VectorKey& addKey(int32_t frame, const Vector3& value);

    // Owned keys in file order (ascending frames).
    GrowableArray<std::unique_ptr<VectorKey>> keys;
    Vector3 restValue;
};

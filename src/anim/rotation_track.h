// RotationTrack: orientations on a spherical Bezier curve through quaternion keys.
#pragma once

#include <memory>

#include "anim/track.h"
#include "common/growable_array.h"
#include "common/matrix4.h"
#include "common/quaternion.h"
#include "common/vector3.h"

// Spherical linear interpolation from a to b (t outside 0..1 extrapolates along the same
// great circle). No hemisphere correction: a negative dot product takes the long arc.
// Equal or opposite quaternions blend their components linearly.
Quaternion slerp(const Quaternion& a, const Quaternion& b, float t);

// The great arc from one quaternion to another: all that slerp needs of the pair whatever
// the parameter, so the fixed pairs of a segment are measured once, when it is prepared.
struct Arc {
    float cosine = 1.0f;      // the pair's dot product, clamped to -1..1
    float angle = 0.0f;       // arccos of cosine
    float inverseSine = 0.0f; // 1 / sin(angle); 0 for equal or opposite quaternions
};

// Measures the arc from a to b.
Arc measureArc(const Quaternion& a, const Quaternion& b);
// slerp(a, b, t) for the arc measured from a to b.
Quaternion slerpAlong(const Quaternion& a, const Quaternion& b, const Arc& arc, float t);

// The local matrix translation x rotation x scale (column-major); the quaternion is used
// as given, without normalising.
Matrix4 localMatrix(const Vector3& position, const Quaternion& rotation, const Vector3& scale);

// One key of a rotation track; the control points are set by prepare().
class RotationKey : public TcbKey {
public:
    RotationKey() = default;
    RotationKey(int32_t frame_, const Quaternion& value_) : value(value_) { frame = frame_; }

    // Reads the 40-byte key record (the value w first).
    void read(SceneReader& reader) override;

    Quaternion inControl{0.0f, 0.0f, 0.0f, 0.0f};
    Quaternion value{0.0f, 0.0f, 0.0f, 0.0f};
    Quaternion outControl{0.0f, 0.0f, 0.0f, 0.0f};
    // The fixed arcs of the segment this key begins, set by prepare(): value to
    // outControl, outControl to the next key's inControl, and that to the next key's value.
    Arc segmentArcs[3];
};

class RotationTrack : public Track {
public:
    // Bytes of one key record in a file.
    static constexpr int keyRecordBytes = 40;

    void prepare() override;
    void read(SceneReader& reader) override;

    // The orientation at a demo time (frames); the identity for a track without keys.
    // Moves the cursor.
    Quaternion evaluate(float time);
    // Appends a key (for building tracks in code) and returns it.
    RotationKey& addKey(int32_t frame, const Quaternion& value);

    // Owned keys in file order (ascending frames).
    GrowableArray<std::unique_ptr<RotationKey>> keys;

private:
    // Sets every segment's fixed arcs from the keys and their control points.
    void measureSegments();
};

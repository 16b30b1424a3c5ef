// ScalarTrack: a Kochanek-Bartels spline track of plain numbers (field of view, roll).
#pragma once

#include <memory>

#include "anim/track.h"
#include "common/growable_array.h"

// One key of a scalar track; the tangents are per segment and set by prepare().
class ScalarKey : public TcbKey {
public:
    ScalarKey() = default;
    ScalarKey(int32_t frame_, float value_) : value(value_) { frame = frame_; }

    // Reads the 28-byte key record.
    void read(SceneReader& reader) override;

    float inTangent = 0.0f;
    float value = 0.0f;
    float outTangent = 0.0f;
};

class ScalarTrack : public Track {
public:
    // Bytes of one key record in a file.
    static constexpr int keyRecordBytes = 28;

    void prepare() override;
    void read(SceneReader& reader) override;

    // The value at a demo time (frames); 0 for a track without keys. Moves the cursor.
    float evaluate(float time);
    // Appends a key (for building tracks in code) and returns it.
    ScalarKey& addKey(int32_t frame, float value);

    // Owned keys in file order (ascending frames).
    GrowableArray<std::unique_ptr<ScalarKey>> keys;
};

// VisibilityTrack: the frames at which a node's visibility toggles.
#pragma once

#include <limits>
#include <memory>

#include "anim/track.h"
#include "common/growable_array.h"

class VisibilityKey {
public:
    VisibilityKey() = default;
    explicit VisibilityKey(int32_t frame_) : frame(frame_) {}
    virtual ~VisibilityKey() = default;

    // Reads the key's frame (one int32).
    virtual void read(SceneReader& reader);

    int32_t frame = 0;
};

class VisibilityTrack : public Track {
public:
    // Nothing to prepare.
    void prepare() override;
    // Reads frames up to the -1 terminator (or a failed read); the track starts visible.
    void read(SceneReader& reader) override;

    // Whether the node is visible at a demo time, a function of the time alone: toggles
    // are walked forward from the last evaluation, and a time earlier than the last one
    // walks again from the start (visible, first key), as a loop, a scene shown again by
    // a later part or a seek back needs. One key or none never toggles.
    bool evaluate(float time);
    // Appends a key (for building tracks in code) and returns it.
    VisibilityKey& addKey(int32_t frame);

    // Owned keys in file order (ascending frames).
    GrowableArray<std::unique_ptr<VisibilityKey>> keys;
    bool visible = true;

private:
    // The time of the last evaluation; below every time until the first.
    float lastTime_ = -std::numeric_limits<float>::infinity();
};

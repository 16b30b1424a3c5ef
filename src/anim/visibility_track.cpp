#include "anim/visibility_track.h"

#include <vector>

#include "common/scene_reader.h"

void VisibilityKey::read(SceneReader& reader) { reader.readInt32(frame); }

void VisibilityTrack::prepare() {}

void VisibilityTrack::read(SceneReader& reader)
{
    // The record has no count: gather the frames first so the key array grows once,
    // however long the run is.
    std::vector<int32_t> frames;
    int32_t frame = 0;
    while (reader.readInt32(frame) && frame != -1)
        frames.push_back(frame);
    int32_t first = keys.size();
    keys.setSize(first + static_cast<int32_t>(frames.size()));
    for (size_t i = 0; i < frames.size(); ++i)
        keys[first + static_cast<int32_t>(i)] = std::make_unique<VisibilityKey>(frames[i]);
    visible = true;
    cursor = 0;
    lastTime_ = -std::numeric_limits<float>::infinity();
}

bool VisibilityTrack::evaluate(float time)
{
    int32_t n = keys.size();
    if (!(time >= lastTime_)) {
        visible = true;
        cursor = 0;
    }
    lastTime_ = time;
    if (n > 1) {
        while (cursor < n && static_cast<float>(keys[cursor]->frame) <= time) {
            visible = !visible;
            ++cursor;
        }
    }
    return visible;
}

VisibilityKey& VisibilityTrack::addKey(int32_t frame)
{
    keys.append(std::make_unique<VisibilityKey>(frame));
    return *keys[keys.size() - 1];
}

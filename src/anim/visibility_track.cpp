#include "anim/visibility_track.h"

#include "scene/scene_reader.h"

void VisibilityKey::read(SceneReader& reader) { reader.readInt32(frame); }
void VisibilityTrack::prepare() {}
void VisibilityTrack::read(SceneReader&) { visible = true; }
bool VisibilityTrack::evaluate(float) { return visible; }
VisibilityKey& VisibilityTrack::addKey(int32_t frame)
{
    keys.append(std::make_unique<VisibilityKey>(frame));
    return *keys[keys.size() - 1];
}

#include "anim/scalar_track.h"

#include "scene/scene_reader.h"

void ScalarKey::read(SceneReader& reader) { readTcbFields(reader); reader.readFloat32(value); }
void ScalarTrack::prepare() {}
void ScalarTrack::read(SceneReader&) {}
float ScalarTrack::evaluate(float) { return 0.0f; }
ScalarKey& ScalarTrack::addKey(int32_t frame, float value)
{
    keys.append(std::make_unique<ScalarKey>(frame, value));
    return *keys[keys.size() - 1];
}

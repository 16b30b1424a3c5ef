#include "anim/vector_track.h"

#include "scene/scene_reader.h"

Vector3 hermiteVector(const Vector3& p0, const Vector3&, const Vector3&, const Vector3&, float) { return p0; }
void VectorKey::read(SceneReader& reader) { readTcbFields(reader); reader.readBlock(&value, 12); }
void VectorTrack::prepare() {}
void VectorTrack::read(SceneReader&) {}
Vector3 VectorTrack::evaluate(float) { return restValue; }
VectorKey& VectorTrack::addKey(int32_t frame, const Vector3& value)
{
    keys.append(std::make_unique<VectorKey>(frame, value));
    return *keys[keys.size() - 1];
}

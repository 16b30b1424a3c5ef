#include "anim/rotation_track.h"

#include "scene/scene_reader.h"

Quaternion slerp(const Quaternion& a, const Quaternion&, float) { return a; }
Matrix4 localMatrix(const Vector3&, const Quaternion&, const Vector3&) { return Matrix4(); }
void RotationKey::read(SceneReader& reader) { readTcbFields(reader); reader.readBlock(&value, 16); }
void RotationTrack::prepare() {}
void RotationTrack::read(SceneReader&) {}
Quaternion RotationTrack::evaluate(float) { return Quaternion(); }
RotationKey& RotationTrack::addKey(int32_t frame, const Quaternion& value)
{
    keys.append(std::make_unique<RotationKey>(frame, value));
    return *keys[keys.size() - 1];
}

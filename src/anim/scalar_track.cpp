#include "anim/scalar_track.h"

#include "anim/tcb.h"

void ScalarKey::read(SceneReader& reader)
{
    readTcbFields(reader);
    reader.readFloat32(value);
}

void ScalarTrack::prepare() { tcb::prepareSpline(keys); }

void ScalarTrack::read(SceneReader& reader)
{
    tcb::readSpline<ScalarKey>(reader, headerWord, keys, keyRecordBytes);
}

float ScalarTrack::evaluate(float time) { return tcb::evaluateSpline(keys, cursor, time, 0.0f); }

ScalarKey& ScalarTrack::addKey(int32_t frame, float value)
{
    keys.append(std::make_unique<ScalarKey>(frame, value));
    return *keys[keys.size() - 1];
}

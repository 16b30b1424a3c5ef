#include "scene/morph_track.h"

#include "scene/scene_reader.h"

void MorphKey::read(SceneReader& reader) { readTcbFields(reader); }
void MorphTrack::prepare() {}
void MorphTrack::read(SceneReader&) {}
const Vector3Array& MorphTrack::evaluate(float, const Vector3Array& restPositions) { return restPositions; }
bool MorphTrack::fits(int) const { return true; }

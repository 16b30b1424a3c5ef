#include "anim/track.h"

#include "common/scene_reader.h"

void TcbKey::readTcbFields(SceneReader& reader)
{
    reader.readInt32(frame);
    reader.readFloat32(tension);
    reader.readFloat32(continuity);
    reader.readFloat32(bias);
    reader.readFloat32(easeTo);
    reader.readFloat32(easeFrom);
}

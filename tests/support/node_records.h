// Node record bodies assembled by hand for scene-file fixtures (after the type id).
#pragma once

#include "support/record_bytes.h"

#include <initializer_list>
#include <string>

namespace records {

// A spline track record without keys.
inline RecordBytes& emptyTrack(RecordBytes& b)
{
    return b.i32(1).i32(0);
}

// A vector track with one key at frame 0.
inline RecordBytes& vectorKeyTrack(RecordBytes& b, float x, float y, float z)
{
    return b.i32(1).i32(1).keyHeader(0).f32(x).f32(y).f32(z);
}

// A rotation track holding the identity at frame 0 (w first).
inline RecordBytes& identityRotation(RecordBytes& b)
{
    return b.i32(1).i32(1).keyHeader(0).f32(1).f32(0).f32(0).f32(0);
}

inline RecordBytes& scalarKeyTrack(RecordBytes& b, float value)
{
    return b.i32(1).i32(1).keyHeader(0).f32(value);
}

// Visibility toggle frames and the -1 terminator.
inline RecordBytes& visibility(RecordBytes& b, std::initializer_list<int32_t> frames = {})
{
    for (int32_t f : frames)
        b.i32(f);
    return b.i32(-1);
}

inline RecordBytes& transformBody(RecordBytes& b, const std::string& name, float x = 0, float y = 0,
                                  float z = 0)
{
    b.str(name);
    vectorKeyTrack(b, x, y, z);
    identityRotation(b);
    vectorKeyTrack(b, 1, 1, 1);
    return visibility(b);
}

inline RecordBytes& targetBody(RecordBytes& b, const std::string& name, float x = 0, float y = 0,
                               float z = 0)
{
    b.str(name);
    return vectorKeyTrack(b, x, y, z);
}

inline RecordBytes& cameraBody(RecordBytes& b, const std::string& name, float x = 0, float y = 0,
                               float z = 0)
{
    b.str(name);
    vectorKeyTrack(b, x, y, z);
    scalarKeyTrack(b, 0.0f);   // roll
    scalarKeyTrack(b, 0.5f);   // field of view
    return visibility(b);
}

inline RecordBytes& spotBody(RecordBytes& b, const std::string& name)
{
    b.str(name).f32(0.5f).f32(0.25f).f32(1.0f);
    vectorKeyTrack(b, 0, 0, 0);
    scalarKeyTrack(b, 1.0f);
    scalarKeyTrack(b, 2.0f);
    return visibility(b);
}

inline RecordBytes& lightBody(RecordBytes& b, const std::string& name)
{
    b.str(name).f32(0.5f).f32(0.25f).f32(1.0f);
    vectorKeyTrack(b, 10, 0, 0);
    identityRotation(b);
    vectorKeyTrack(b, 1, 1, 1);
    return visibility(b);
}

// A mesh holding one triangle (0,0,0) (1,0,0) (0,1,0) in one group of material 0, static.
inline RecordBytes& triangleMeshBody(RecordBytes& b, const std::string& name)
{
    b.str(name);
    b.i32(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0);
    b.i32(1);
    b.i32(0).f32(0).f32(0).i32(1).f32(1).f32(0).i32(2).f32(0).f32(1);
    b.i32(1).i32(0).i32(1).i32(0);
    vectorKeyTrack(b, 0, 0, 0);
    identityRotation(b);
    vectorKeyTrack(b, 1, 1, 1);
    visibility(b);
    return emptyTrack(b); // morph track
}

// The material section: the discarded word and a count of 0.
inline RecordBytes& noMaterials(RecordBytes& b)
{
    return b.i32(0).i32(0);
}

} // namespace records

// Face: a textured triangle of a mesh, as surface groups hold and render modes draw it.
#pragma once

#include <cstdint>

// One corner of a triangle: a vertex index and its texture coordinates.
struct FaceCorner {
    int32_t vertex;
    float s;
    float t;
};

struct Face {
    FaceCorner corners[3];
};

static_assert(sizeof(Face) == 36, "faces are read straight from their 36-byte records");

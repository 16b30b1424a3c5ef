// LineMode: draws a material without maps as white lines through the face corners.
#pragma once

#include "render/render_mode.h"

class LineMode : public RenderMode {
public:
    // One GL_LINES primitive over every corner of every face in order, so segments join
    // consecutive corners, also across faces. Leaves white as the current colour and
    // touches no other state.
    void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
              const Vector3Array& normals) const override;
};

// DualMapMode: a texture on unit 0 modulated by a sphere-mapped environment on unit 1.
#pragma once

#include "render/render_mode.h"

class DualMapMode : public RenderMode {
public:
    // Textures unit 0 with textures[0] at the faces' coordinates and unit 1 with
    // textures[1] at sphere-map coordinates; culls with whatever cull-face mode is set.
    // Leaves unit 1 as the active unit, both units untextured, no generation, culling
    // and blending off, depth writes on, the client arrays off.
    void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
              const Vector3Array& normals) const override;
};

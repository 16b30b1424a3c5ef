// SphereMapMode: draws faces with an environment texture on unit 0, sphere-mapped.
#pragma once

#include "render/render_mode.h"

class SphereMapMode : public RenderMode {
public:
    // Generates texture coordinates for textures[0] from the normals (the faces' own
    // coordinates are not used) and culls front faces. Leaves the cull-face mode at
    // GL_FRONT, so later textured groups cull front faces too; restores everything else
    // it enabled (unit 0 untextured, no generation, culling and blending off, depth writes
    // on, the client arrays off).
    void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
              const Vector3Array& normals) const override;
};

// TextureMode: draws faces with one texture on unit 0 at the faces' own coordinates.
#pragma once

#include "render/render_mode.h"

class TextureMode : public RenderMode {
public:
    // Textures with textures[0] and culls with whatever cull-face mode is set (back faces
    // until a sphere-mapped group has been drawn, front faces from then on). Leaves unit 0
    // untextured, culling and blending off, depth writes on, the client arrays off.
    void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
              const Vector3Array& normals) const override;
};

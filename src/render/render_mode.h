// RenderMode: how the faces of one material are drawn, with the OpenGL state they need.
#pragma once

#include "common/growable_array.h"
#include "common/face.h"
#include "common/vector3_array.h"

#include <cstdint>
#include <memory>

class RenderMode {
public:
    RenderMode() = default;
    RenderMode(const RenderMode&) = delete;
    RenderMode& operator=(const RenderMode&) = delete;
    virtual ~RenderMode();

    // Draws faces with positions from vertices and per-vertex normals, setting the state the
    // mode needs and restoring most of it afterwards. Every index in faces must lie inside
    // vertices and normals.
    virtual void draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                      const Vector3Array& normals) const = 0;

    // OpenGL texture names, in the order the mode uses them (0, 1 or 2 of them).
    GrowableArray<int32_t> textures;
    // Below 1 the faces are drawn translucently (additive blending, no depth writes, no
    // culling) and the mesh that uses the mode goes to the transparent pass.
    float alpha = 1.0f;

protected:
    // The texture name at index i, or 0 (no texture) when the mode was given fewer.
    uint32_t texture(int i) const { return i < textures.size() ? static_cast<uint32_t>(textures[i]) : 0; }
    // The translucency set-up shared by the textured modes; does nothing when alpha >= 1.
    void beginTranslucency() const;
};

// A new, empty mode for a render-mode kind: 1 lines, 8 texture, 16 sphere map, 24 both.
// Returns null for any other kind.
std::unique_ptr<RenderMode> CreateRenderMode(uint32_t kind);

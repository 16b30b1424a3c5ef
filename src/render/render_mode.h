// RenderMode: how the faces of one material are drawn, with the OpenGL state they need.
//
// How the modes share OpenGL state. A mode sets on entry what its drawing needs that
// another mode or a screen quad may have changed: the units it textures (active unit,
// texturing, binding, coordinate generation), polygon fill, culling and, below alpha 1,
// translucency (additive blending, no depth writes, no culling, the colour's alpha). It
// takes the rest from the frame: lighting, material, colour and matrices, which the scene
// render sets. On the way out a textured mode turns off what it turned on (texturing of
// its units, generation, culling, client arrays, the blending it enabled) and turns depth
// writes back on; the values it set (active unit, bindings, generation modes, polygon
// mode, the translucent colour and blend function) stay, and the next mode sets them
// again before it uses them. The line mode sets only the colour. Two things are left to
// whatever draws next on purpose: the cull-face mode, which a sphere map turns to front
// faces and no mode turns back, and texturing left on by a screen quad, whose texture
// tints a line mode's lines. Nothing else restores state between groups.
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
    // Undoes beginTranslucency's blending (when it enabled it) and turns depth writes on.
    void endTranslucency() const;
    // Turns on and points the normal and vertex arrays, normals first.
    static void enableArrays(const Vector3Array& vertices, const Vector3Array& normals);
    // Turns the vertex and normal arrays off.
    static void disableArrays();
    // Draws faces as triangles, each corner with its own coordinates on unit 0.
    static void drawTexturedFaces(const GrowableArray<Face>& faces);
};

// A new, empty mode for a render-mode kind: 1 lines, 8 texture, 16 sphere map, 24 both.
// Returns null for any other kind.
std::unique_ptr<RenderMode> CreateRenderMode(uint32_t kind);

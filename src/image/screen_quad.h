// Screen-space quads: textures drawn as full-frame backgrounds and overlays, in the
// orthographic projection over the picture that this unit also sets.
#pragma once

#include "gpu/gl.h"

// Selects the projection matrix, saves it and replaces it by an orthographic projection
// in pixels of a width x height picture, (0, 0) at its bottom left, depths -1 .. 1.
void PushScreenProjection(int width, int height);

// Selects the projection matrix, restores the one PushScreenProjection saved, and selects
// the modelview matrix.
void PopScreenProjection();

// Clears the picture to black, colour and depth, then draws texture over the whole of a
// width x height picture with DrawBackgroundQuad at full opacity, under a saved and
// restored screen projection. Leaves the state DrawBackgroundQuad leaves.
void DrawScreenPicture(int width, int height, GLuint texture);

// Draws texture on unit 0 as a rectangle centred on (centreX, centreY) in the current
// projection, t = 0 at its bottom edge (JPEG textures show upright), blended with the
// given opacity. An opacity not above 0 draws nothing and touches no state. Leaves unit 0
// active with texturing on and texture bound, unit 1 untextured, lighting and blending
// off, depth test and depth writes on, the modelview matrix mode selected.
void DrawBackgroundQuad(float centreX, float centreY, float halfWidth, float halfHeight, float opacity,
    GLuint texture);

// Draws texture like DrawBackgroundQuad but with t = 0 at the top edge (PNG textures show
// upright), modulated by the current colour, which it does not set. Leaves the same state.
void DrawOverlayQuad(float centreX, float centreY, float halfWidth, float halfHeight, GLuint texture);

// Text and shaded strips drawn in pixels over a finished frame, from a font atlas: one
// texture of alpha that holds the glyphs of the printable ASCII characters.
#pragma once

#include "gpu/gl.h"

constexpr int FirstAtlasChar = ' ';
constexpr int LastAtlasChar = '~';
constexpr int AtlasCharCount = LastAtlasChar - FirstAtlasChar + 1;

// Where one character's glyph lies in the atlas and how it sits on the pen.
struct AtlasGlyph {
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0; // the glyph's corners in the atlas
    int width = 0, rows = 0;              // its bitmap's size in pixels
    int left = 0, top = 0;                // offset of the bitmap from the pen, y up
    int advance = 0;                      // pen move in pixels
};

// Saves every OpenGL state, client state and the texture, projection and modelview
// matrices, then sets up flat drawing in pixels of a width x height drawable, (0, 0) at
// its bottom left: texturing and coordinate generation off on every unit but the first,
// which is left active; no lighting, depth test, culling, fog, alpha, stencil or scissor
// test; alpha blending on; the modulate environment. Pair with EndScreenText.
void BeginScreenText(int width, int height);

// Restores everything BeginScreenText saved.
void EndScreenText();

// Fills the rectangle left .. right, bottom .. top with colour, untextured.
void DrawScreenStrip(float left, float bottom, float right, float top, const float colour[4]);

// Fills count columns one pixel wide, the first at left, each reaching half[i] above and
// below centre, with colour, untextured: a waveform.
void DrawScreenColumns(float left, float centre, const float* half, int count, const float colour[4]);

// Draws text from the pen at (x, baseline), glyph after glyph of atlas in colour; a
// character outside the atlas draws as '?'. An atlas of texture 0 draws nothing.
void DrawScreenText(GLuint atlas, const AtlasGlyph (&glyphs)[AtlasCharCount], float x, float baseline,
    const char* text, const float colour[4]);

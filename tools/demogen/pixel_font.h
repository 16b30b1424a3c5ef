// Our own 5 x 7 pixel font (capitals, digits, punctuation) and lettering drawn with it:
// each font pixel becomes a square of the chosen size, with anti-aliased edges.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <string>

constexpr int GlyphColumns = 5;
constexpr int GlyphRows = 7;

// The glyph of c as seven rows, bit 4 the leftmost column; lower case gives the capital.
// Returns null for a character the font does not have (drawn as a space).
const uint8_t* glyphRows(char c);

// How lettering is laid out: the size of one font pixel, the gap between letters in font
// pixels, a slant (font pixels of shift to the right per font pixel of height), and
// whether steps are smoothed: where two ink pixels touch only at a corner, and at outer
// corners, the empty half-pixel between them is filled, so diagonals run straight and
// round letters look round when drawn large.
struct TextStyle {
    float pixelSize = 4.0f;
    float letterGap = 1.0f;
    float slant = 0.0f;
    bool smooth = false;
};

// Width in canvas pixels of text in style (the last letter's gap not counted).
float textWidth(const std::string& text, const TextStyle& style);

// Height in canvas pixels of a line of text in style.
float textHeight(const TextStyle& style);

// Adds the coverage of text to mask with its top left corner at (x, y).
void drawText(Mask& mask, const std::string& text, float x, float y, const TextStyle& style);

// Adds text centred horizontally on centreX, top at y.
void drawTextCentred(Mask& mask, const std::string& text, float centreX, float y,
                     const TextStyle& style);

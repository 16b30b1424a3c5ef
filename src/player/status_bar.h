// Author mode's on-screen text: the status bar along the bottom of the window and the
// list of the show's problems above it, drawn over a finished frame without touching the
// show's own drawing state. The glyphs come from a DejaVu font, rasterised by FreeType
// once into one texture, so drawing a frame allocates nothing.
#pragma once

#include "image/screen_text.h"
#include "image/texture.h"

#include <string>
#include <vector>

// Where the monospaced DejaVu font is looked for, first found first used.
std::vector<std::string> StatusFontFiles();

class StatusBar {
public:
    StatusBar();
    ~StatusBar();
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    // Rasterises the printable ASCII characters of the first of fontFiles that FreeType
    // opens, pixelHeight pixels high, into a texture of the current context. Returns
    // false, with the reason in problem, when none opens; the bar is then drawn without
    // text.
    bool load(const std::vector<std::string>& fontFiles, int pixelHeight, std::string& problem);

    // Height of the bar in pixels: one line of text and its margins.
    int height() const;
    // The font's height above the baseline, and the width text takes, in pixels.
    int ascent() const { return ascent_; }
    int textWidth(const char* text) const;

    // Draws over the bottom of a width x height drawable: the bar with text and the problem
    // lines above it, raised by raise pixels more, the first at the top; more than eight
    // end in a line counting the rest. Every OpenGL state it changes is restored, and
    // nothing above the bar changes when there are no problems.
    void draw(int width, int height, const char* text, const std::vector<std::string>& problems,
        int raise = 0) const;
    // Draws text in the bar's font from the pen at (x, baseline), between BeginScreenText
    // and EndScreenText.
    void drawText(float x, float baseline, const char* text, const float colour[4]) const;

private:
    // Draws the text of the problem lines, the first with its baseline at baseline and
    // each next one a line lower.
    void drawProblemText(float baseline, const std::vector<std::string>& problems) const;

    TextureHandle texture_;
    int lineHeight_ = 14;
    int ascent_ = 11;
    AtlasGlyph glyphs_[AtlasCharCount];
};

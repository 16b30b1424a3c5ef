#include "player/status_bar.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

namespace {

constexpr int AtlasWidth = 512;
constexpr int Margin = 3;
// More problems than this are summed up in one line.
constexpr size_t ShownProblems = 8;

// FreeType's handles, released however loading ends.
struct FontFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FontFace()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

// Opens the first of fontFiles that FreeType can at pixelHeight pixels into font. Returns
// false, with the reason in problem, when FreeType does not start, no file opens or the
// size cannot be set.
bool openFont(FontFace& font, const std::vector<std::string>& fontFiles, int pixelHeight, std::string& problem)
{
    if (FT_Init_FreeType(&font.library) != 0) {
        problem = "FreeType cannot start";
        return false;
    }
    for (const std::string& file : fontFiles) {
        if (FT_New_Face(font.library, file.c_str(), 0, &font.face) == 0)
            break;
        font.face = nullptr;
    }
    if (!font.face) {
        problem = "no DejaVu Sans Mono font found (looked for " + fontFiles.front() + " and others; Debian's "
                  "fonts-dejavu-core has it)";
        return false;
    }
    if (FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
        problem = "the font cannot be set to " + std::to_string(pixelHeight) + " pixels";
        return false;
    }
    return true;
}

// The atlas of face's printable characters, AtlasWidth wide and atlasHeight (a power of
// two) high: glyphs left to right in rows of rowHeight, as tall as they need. Fills in
// where each glyph lies; a character FreeType cannot render keeps an empty glyph.
std::vector<unsigned char> rasteriseAtlas(FT_Face face, int rowHeight, AtlasGlyph (&glyphs)[AtlasCharCount],
    int& atlasHeight)
{
    int x = 0, y = 0;
    struct Placed {
        int x, y;
    };
    Placed placed[AtlasCharCount] = {};
    std::vector<std::vector<unsigned char>> bitmaps(AtlasCharCount);
    for (int c = FirstAtlasChar; c <= LastAtlasChar; ++c) {
        AtlasGlyph& glyph = glyphs[c - FirstAtlasChar];
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = std::min(static_cast<int>(bitmap.rows), rowHeight);
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.advance = static_cast<int>(slot->advance.x >> 6);
        if (x + glyph.width + 1 > AtlasWidth) {
            x = 0;
            y += rowHeight;
        }
        placed[c - FirstAtlasChar] = {x, y};
        std::vector<unsigned char>& copy = bitmaps[c - FirstAtlasChar];
        copy.resize(static_cast<size_t>(glyph.width) * glyph.rows);
        for (int row = 0; row < glyph.rows; ++row)
            std::copy_n(bitmap.buffer + row * bitmap.pitch, glyph.width, copy.data() + row * glyph.width);
        x += glyph.width + 1;
    }
    atlasHeight = 1;
    while (atlasHeight < y + rowHeight)
        atlasHeight *= 2;
    std::vector<unsigned char> atlas(static_cast<size_t>(AtlasWidth) * atlasHeight, 0);
    for (int c = 0; c < AtlasCharCount; ++c) {
        AtlasGlyph& glyph = glyphs[c];
        const Placed at = placed[c];
        const std::vector<unsigned char>& copy = bitmaps[c];
        for (int row = 0; row < glyph.rows; ++row)
            std::copy_n(copy.data() + row * glyph.width, glyph.width, atlas.data() + (at.y + row) * AtlasWidth + at.x);
        glyph.u0 = static_cast<float>(at.x) / AtlasWidth;
        glyph.v0 = static_cast<float>(at.y) / atlasHeight;
        glyph.u1 = static_cast<float>(at.x + glyph.width) / AtlasWidth;
        glyph.v1 = static_cast<float>(at.y + glyph.rows) / atlasHeight;
    }
    return atlas;
}

} // namespace

std::vector<std::string> StatusFontFiles()
{
    // Debian's fonts-dejavu-core first, then where other systems keep the same file.
    return {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
        "/usr/share/fonts/dejavu/DejaVuSansMono.ttf", "/usr/share/fonts/dejavu-sans-mono-fonts/DejaVuSansMono.ttf",
        "/usr/local/share/fonts/DejaVuSansMono.ttf"};
}

StatusBar::StatusBar() = default;

StatusBar::~StatusBar() = default;

bool StatusBar::load(const std::vector<std::string>& fontFiles, int pixelHeight, std::string& problem)
{
    lineHeight_ = pixelHeight + pixelHeight / 4;
    ascent_ = pixelHeight;
    FontFace font;
    if (!openFont(font, fontFiles, pixelHeight, problem))
        return false;
    const FT_Size_Metrics& metrics = font.face->size->metrics;
    ascent_ = static_cast<int>(metrics.ascender >> 6);
    lineHeight_ = static_cast<int>((metrics.ascender - metrics.descender) >> 6);

    int atlasHeight = 1;
    const std::vector<unsigned char> atlas = rasteriseAtlas(font.face, lineHeight_ + 2, glyphs_, atlasHeight);
    texture_ = UploadAlphaTexture(AtlasWidth, atlasHeight, atlas.data());
    return true;
}

int StatusBar::height() const { return lineHeight_ + 2 * Margin; }

void StatusBar::drawProblemText(float baseline, const std::vector<std::string>& problems) const
{
    const float warning[4] = {1.0f, 0.85f, 0.5f, 1.0f};
    for (size_t i = 0; i < std::min(problems.size(), ShownProblems); ++i) {
        DrawScreenText(texture_.get(), glyphs_, Margin * 2, baseline, problems[i].c_str(), warning);
        baseline -= lineHeight_;
    }
    if (problems.size() > ShownProblems) {
        char more[64];
        std::snprintf(more, sizeof more, "and %zu more on standard error", problems.size() - ShownProblems);
        DrawScreenText(texture_.get(), glyphs_, Margin * 2, baseline, more, warning);
    }
}

int StatusBar::textWidth(const char* text) const
{
    int width = 0;
    for (const char* c = text; *c; ++c) {
        const int index = static_cast<unsigned char>(*c) - FirstAtlasChar;
        width += glyphs_[index >= 0 && index < AtlasCharCount ? index : '?' - FirstAtlasChar].advance;
    }
    return width;
}

void StatusBar::drawText(float x, float baseline, const char* text, const float colour[4]) const
{
    DrawScreenText(texture_.get(), glyphs_, x, baseline, text, colour);
}

void StatusBar::draw(int width, int height, const char* text, const std::vector<std::string>& problems,
    int raise) const
{
    BeginScreenText(width, height);
    const float bar = static_cast<float>(this->height());
    const float above = bar + static_cast<float>(raise);
    const float right = static_cast<float>(width);
    // Backing of the bar and of the problem lines, then their text.
    const size_t lines = std::min(problems.size(), ShownProblems) + (problems.size() > ShownProblems ? 1 : 0);
    const float barBacking[4] = {0.0f, 0.0f, 0.0f, 0.8f};
    DrawScreenStrip(0, 0, right, bar, barBacking);
    if (lines > 0) {
        const float problemBacking[4] = {0.25f, 0.0f, 0.0f, 0.8f};
        DrawScreenStrip(0, above, right, above + lines * lineHeight_ + 2 * Margin, problemBacking);
    }

    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float descent = static_cast<float>(lineHeight_ - ascent_);
    DrawScreenText(texture_.get(), glyphs_, Margin * 2, Margin + descent, text, white);
    // The first problems at the top, read downwards.
    drawProblemText(above + Margin + descent + (static_cast<float>(lines) - 1) * lineHeight_, problems);
    EndScreenText();
}

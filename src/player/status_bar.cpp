#include "player/status_bar.h"

#include "app/gl.h"
#include "app/gl_extensions.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

namespace {

constexpr int FirstChar = ' ';
constexpr int LastChar = '~';
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

} // namespace

std::vector<std::string> StatusFontFiles()
{
    // Debian's fonts-dejavu-core first, then where other systems keep the same file.
    return {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
        "/usr/share/fonts/dejavu/DejaVuSansMono.ttf", "/usr/share/fonts/dejavu-sans-mono-fonts/DejaVuSansMono.ttf",
        "/usr/local/share/fonts/DejaVuSansMono.ttf"};
}

StatusBar::StatusBar() = default;

StatusBar::~StatusBar()
{
    if (texture_)
        glDeleteTextures(1, &texture_);
}

bool StatusBar::load(const std::vector<std::string>& fontFiles, int pixelHeight, std::string& problem)
{
    lineHeight_ = pixelHeight + pixelHeight / 4;
    ascent_ = pixelHeight;
    FontFace font;
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
    const FT_Size_Metrics& metrics = font.face->size->metrics;
    ascent_ = static_cast<int>(metrics.ascender >> 6);
    lineHeight_ = static_cast<int>((metrics.ascender - metrics.descender) >> 6);

    // Glyphs left to right in rows of the line height; the atlas is as tall as they need.
    std::vector<unsigned char> atlas;
    int x = 0, y = 0;
    const int rowHeight = lineHeight_ + 2;
    struct Placed {
        int x, y;
    };
    Placed placed[LastChar - FirstChar + 1] = {};
    std::vector<std::vector<unsigned char>> bitmaps(LastChar - FirstChar + 1);
    for (int c = FirstChar; c <= LastChar; ++c) {
        Glyph& glyph = glyphs_[c - FirstChar];
        if (FT_Load_Char(font.face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = font.face->glyph;
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
        placed[c - FirstChar] = {x, y};
        std::vector<unsigned char>& copy = bitmaps[c - FirstChar];
        copy.resize(static_cast<size_t>(glyph.width) * glyph.rows);
        for (int row = 0; row < glyph.rows; ++row)
            std::copy_n(bitmap.buffer + row * bitmap.pitch, glyph.width, copy.data() + row * glyph.width);
        x += glyph.width + 1;
    }
    int atlasHeight = 1;
    while (atlasHeight < y + rowHeight)
        atlasHeight *= 2;
    atlas.assign(static_cast<size_t>(AtlasWidth) * atlasHeight, 0);
    for (int c = FirstChar; c <= LastChar; ++c) {
        Glyph& glyph = glyphs_[c - FirstChar];
        const Placed at = placed[c - FirstChar];
        const std::vector<unsigned char>& copy = bitmaps[c - FirstChar];
        for (int row = 0; row < glyph.rows; ++row)
            std::copy_n(copy.data() + row * glyph.width, glyph.width, atlas.data() + (at.y + row) * AtlasWidth + at.x);
        glyph.u0 = static_cast<float>(at.x) / AtlasWidth;
        glyph.v0 = static_cast<float>(at.y) / atlasHeight;
        glyph.u1 = static_cast<float>(at.x + glyph.width) / AtlasWidth;
        glyph.v1 = static_cast<float>(at.y + glyph.rows) / atlasHeight;
    }

    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    if (ext::glActiveTextureARB)
        ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, AtlasWidth, atlasHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlas.data());
    glPopClientAttrib();
    glPopAttrib();
    return true;
}

int StatusBar::height() const { return lineHeight_ + 2 * Margin; }

void StatusBar::drawText(float x, float baseline, const char* text, const float colour[4]) const
{
    if (!texture_)
        return;
    glColor4fv(colour);
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const int index = static_cast<unsigned char>(*c) - FirstChar;
        const Glyph& glyph = glyphs_[index >= 0 && index <= LastChar - FirstChar ? index : '?' - FirstChar];
        const float left = x + glyph.left;
        const float top = baseline + glyph.top;
        const float bottom = top - glyph.rows;
        glTexCoord2f(glyph.u0, glyph.v1);
        glVertex2f(left, bottom);
        glTexCoord2f(glyph.u1, glyph.v1);
        glVertex2f(left + glyph.width, bottom);
        glTexCoord2f(glyph.u1, glyph.v0);
        glVertex2f(left + glyph.width, top);
        glTexCoord2f(glyph.u0, glyph.v0);
        glVertex2f(left, top);
        x += glyph.advance;
    }
    glEnd();
}

void StatusBar::draw(int width, int height, const char* text, const std::vector<std::string>& problems) const
{
    // Everything the show may have set is saved: attributes of every texture unit,
    // client arrays, and the three matrix stacks this draws with.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    if (ext::glActiveTextureARB) {
        // Texturing off on every unit but the first, which the text uses.
        GLint count = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &count);
        for (GLint unit = 1; unit < count; ++unit) {
            ext::glActiveTextureARB(GL_TEXTURE0_ARB + unit);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
        }
        ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glViewport(0, 0, width, height);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_COLOR_MATERIAL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glShadeModel(GL_FLAT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    const float bar = static_cast<float>(this->height());
    // Backing of the bar and of the problem lines, then their text.
    const size_t lines = std::min(problems.size(), ShownProblems) + (problems.size() > ShownProblems ? 1 : 0);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor4f(0.0f, 0.0f, 0.0f, 0.8f);
    glVertex2f(0, 0);
    glVertex2f(static_cast<float>(width), 0);
    glVertex2f(static_cast<float>(width), bar);
    glVertex2f(0, bar);
    if (lines > 0) {
        glColor4f(0.25f, 0.0f, 0.0f, 0.8f);
        glVertex2f(0, bar);
        glVertex2f(static_cast<float>(width), bar);
        glVertex2f(static_cast<float>(width), bar + lines * lineHeight_ + 2 * Margin);
        glVertex2f(0, bar + lines * lineHeight_ + 2 * Margin);
    }
    glEnd();

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float warning[4] = {1.0f, 0.85f, 0.5f, 1.0f};
    const float descent = static_cast<float>(lineHeight_ - ascent_);
    drawText(Margin * 2, Margin + descent, text, white);
    // The first problems at the top, read downwards.
    float baseline = bar + Margin + descent + (static_cast<float>(lines) - 1) * lineHeight_;
    for (size_t i = 0; i < std::min(problems.size(), ShownProblems); ++i) {
        drawText(Margin * 2, baseline, problems[i].c_str(), warning);
        baseline -= lineHeight_;
    }
    if (problems.size() > ShownProblems) {
        char more[64];
        std::snprintf(more, sizeof more, "and %zu more on standard error", problems.size() - ShownProblems);
        drawText(Margin * 2, baseline, more, warning);
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

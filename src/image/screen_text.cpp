#include "image/screen_text.h"

#include "gpu/renderer.h"
#include "image/screen_quad.h"

namespace {

// Texturing off on every unit but the first, which is left active for the text.
void useFirstUnitOnly()
{
    Renderer& r = ActiveRenderer();
    GLint count = 1;
    r.getIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &count);
    for (GLint unit = 1; unit < count; ++unit) {
        r.activeTexture(GL_TEXTURE0_ARB + unit);
        r.disable(GL_TEXTURE_2D);
        r.disable(GL_TEXTURE_GEN_S);
        r.disable(GL_TEXTURE_GEN_T);
    }
    r.activeTexture(GL_TEXTURE0_ARB);
}

} // namespace

void BeginScreenText(int width, int height)
{
    Renderer& r = ActiveRenderer();
    // Everything the show may have set is saved: attributes of every texture unit,
    // client arrays, and the three matrix stacks this draws with.
    r.pushAllAttributes();
    r.pushClientAttributes();
    useFirstUnitOnly();
    r.matrixMode(GL_TEXTURE);
    r.pushMatrix();
    r.loadIdentity();
    PushScreenProjection(width, height);
    r.matrixMode(GL_MODELVIEW);
    r.pushMatrix();
    r.loadIdentity();

    r.viewport(0, 0, width, height);
    r.disable(GL_LIGHTING);
    r.disable(GL_DEPTH_TEST);
    r.disable(GL_CULL_FACE);
    r.disable(GL_FOG);
    r.disable(GL_ALPHA_TEST);
    r.disable(GL_STENCIL_TEST);
    r.disable(GL_SCISSOR_TEST);
    r.disable(GL_TEXTURE_GEN_S);
    r.disable(GL_TEXTURE_GEN_T);
    r.disable(GL_COLOR_MATERIAL);
    r.polygonMode(GL_FRONT_AND_BACK, GL_FILL);
    r.colorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    r.shadeModel(GL_FLAT);
    r.enable(GL_BLEND);
    r.blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    r.texEnvi(GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void EndScreenText()
{
    Renderer& r = ActiveRenderer();
    r.matrixMode(GL_MODELVIEW);
    r.popMatrix();
    PopScreenProjection();
    r.matrixMode(GL_TEXTURE);
    r.popMatrix();
    r.popClientAttributes();
    r.popAllAttributes();
}

void DrawScreenStrip(float left, float bottom, float right, float top, const float colour[4])
{
    Renderer& r = ActiveRenderer();
    r.disable(GL_TEXTURE_2D);
    r.begin(GL_QUADS);
    r.color4f(colour[0], colour[1], colour[2], colour[3]);
    r.vertex2f(left, bottom);
    r.vertex2f(right, bottom);
    r.vertex2f(right, top);
    r.vertex2f(left, top);
    r.end();
}

void DrawScreenColumns(float left, float centre, const float* half, int count, const float colour[4])
{
    Renderer& r = ActiveRenderer();
    r.disable(GL_TEXTURE_2D);
    r.begin(GL_QUADS);
    r.color4f(colour[0], colour[1], colour[2], colour[3]);
    for (int i = 0; i < count; ++i) {
        const float x = left + static_cast<float>(i);
        r.vertex2f(x, centre - half[i]);
        r.vertex2f(x + 1.0f, centre - half[i]);
        r.vertex2f(x + 1.0f, centre + half[i]);
        r.vertex2f(x, centre + half[i]);
    }
    r.end();
}

void DrawScreenText(GLuint atlas, const AtlasGlyph (&glyphs)[AtlasCharCount], float x, float baseline,
    const char* text, const float colour[4])
{
    Renderer& r = ActiveRenderer();
    if (!atlas)
        return;
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(atlas);
    r.color4f(colour[0], colour[1], colour[2], colour[3]);
    r.begin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const int index = static_cast<unsigned char>(*c) - FirstAtlasChar;
        const AtlasGlyph& glyph = glyphs[index >= 0 && index < AtlasCharCount ? index : '?' - FirstAtlasChar];
        const float left = x + glyph.left;
        const float top = baseline + glyph.top;
        const float bottom = top - glyph.rows;
        r.texCoord2f(glyph.u0, glyph.v1);
        r.vertex2f(left, bottom);
        r.texCoord2f(glyph.u1, glyph.v1);
        r.vertex2f(left + glyph.width, bottom);
        r.texCoord2f(glyph.u1, glyph.v0);
        r.vertex2f(left + glyph.width, top);
        r.texCoord2f(glyph.u0, glyph.v0);
        r.vertex2f(left, top);
        x += glyph.advance;
    }
    r.end();
}

#include "image/screen_text.h"

#include "app/gl_extensions.h"
#include "image/screen_quad.h"

namespace {

// Texturing off on every unit but the first, which is left active for the text.
void useFirstUnitOnly()
{
    if (!ext::glActiveTextureARB)
        return;
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

} // namespace

void BeginScreenText(int width, int height)
{
    // Everything the show may have set is saved: attributes of every texture unit,
    // client arrays, and the three matrix stacks this draws with.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    useFirstUnitOnly();
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    PushScreenProjection(width, height);
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
}

void EndScreenText()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    PopScreenProjection();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

void DrawScreenStrip(float left, float bottom, float right, float top, const float colour[4])
{
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor4fv(colour);
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glVertex2f(left, top);
    glEnd();
}

void DrawScreenColumns(float left, float centre, const float* half, int count, const float colour[4])
{
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor4fv(colour);
    for (int i = 0; i < count; ++i) {
        const float x = left + static_cast<float>(i);
        glVertex2f(x, centre - half[i]);
        glVertex2f(x + 1.0f, centre - half[i]);
        glVertex2f(x + 1.0f, centre + half[i]);
        glVertex2f(x, centre + half[i]);
    }
    glEnd();
}

void DrawScreenText(GLuint atlas, const AtlasGlyph (&glyphs)[AtlasCharCount], float x, float baseline,
    const char* text, const float colour[4])
{
    if (!atlas)
        return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, atlas);
    glColor4fv(colour);
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const int index = static_cast<unsigned char>(*c) - FirstAtlasChar;
        const AtlasGlyph& glyph = glyphs[index >= 0 && index < AtlasCharCount ? index : '?' - FirstAtlasChar];
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

#include "image/screen_quad.h"

#include "app/gl_extensions.h"

namespace {

// Unit 1 off, unit 0 textured with texture, lighting off, alpha blending on.
void beginQuad(GLuint texture)
{
    glDisable(GL_DEPTH_TEST);
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// The state the scene render after a quad starts from.
void endQuad()
{
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

} // namespace

void PushScreenProjection(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
}

void PopScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void DrawScreenPicture(int width, int height, GLuint texture)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PushScreenProjection(width, height);
    const float halfWidth = width * 0.5f;
    const float halfHeight = height * 0.5f;
    DrawBackgroundQuad(halfWidth, halfHeight, halfWidth, halfHeight, 1.0f, texture);
    PopScreenProjection();
}

void DrawBackgroundQuad(float centreX, float centreY, float halfWidth, float halfHeight, float opacity,
    GLuint texture)
{
    if (!(opacity > 0.0f))
        return;
    beginQuad(texture);
    glColor4f(1.0f, 1.0f, 1.0f, opacity);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(centreX - halfWidth, centreY - halfHeight, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(centreX + halfWidth, centreY - halfHeight, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(centreX + halfWidth, centreY + halfHeight, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(centreX - halfWidth, centreY + halfHeight, 0.0f);
    glEnd();
    endQuad();
}

// Deliberate: the overlay takes the colour (and so the alpha) the scene left current
// (DrawOverlayQuad.TransparentAreasShowWhatIsBehindAndTheCurrentAlphaFadesIt).
void DrawOverlayQuad(float centreX, float centreY, float halfWidth, float halfHeight, GLuint texture)
{
    beginQuad(texture);
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(centreX + halfWidth, centreY - halfHeight, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(centreX - halfWidth, centreY - halfHeight, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(centreX - halfWidth, centreY + halfHeight, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(centreX + halfWidth, centreY + halfHeight, 0.0f);
    glEnd();
    endQuad();
}

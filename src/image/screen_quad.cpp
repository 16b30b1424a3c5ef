#include "image/screen_quad.h"

#include "gpu/renderer.h"


namespace {

// Unit 1 off, unit 0 textured with texture, lighting off, alpha blending on.
void beginQuad(GLuint texture)
{
    Renderer& r = ActiveRenderer();
    r.disable(GL_DEPTH_TEST);
    r.activeTexture(GL_TEXTURE1_ARB);
    r.disable(GL_TEXTURE_2D);
    r.activeTexture(GL_TEXTURE0_ARB);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture);
    r.disable(GL_LIGHTING);
    r.enable(GL_BLEND);
    r.blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// The state the scene render after a quad starts from.
void endQuad()
{
    Renderer& r = ActiveRenderer();
    r.matrixMode(GL_MODELVIEW);
    r.disable(GL_BLEND);
    r.depthMask(GL_TRUE);
    r.enable(GL_DEPTH_TEST);
}

} // namespace

void PushScreenProjection(int width, int height)
{
    Renderer& r = ActiveRenderer();
    r.matrixMode(GL_PROJECTION);
    r.pushMatrix();
    r.loadIdentity();
    r.ortho(0, width, 0, height, -1, 1);
}

void PopScreenProjection()
{
    Renderer& r = ActiveRenderer();
    r.matrixMode(GL_PROJECTION);
    r.popMatrix();
    r.matrixMode(GL_MODELVIEW);
}

void DrawScreenPicture(int width, int height, GLuint texture)
{
    Renderer& r = ActiveRenderer();
    r.clearColor(0.0f, 0.0f, 0.0f, 1.0f);
    r.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PushScreenProjection(width, height);
    const float halfWidth = width * 0.5f;
    const float halfHeight = height * 0.5f;
    DrawBackgroundQuad(halfWidth, halfHeight, halfWidth, halfHeight, 1.0f, texture);
    PopScreenProjection();
}

void DrawBackgroundQuad(float centreX, float centreY, float halfWidth, float halfHeight, float opacity,
    GLuint texture)
{
    Renderer& r = ActiveRenderer();
    if (!(opacity > 0.0f))
        return;
    beginQuad(texture);
    r.color4f(1.0f, 1.0f, 1.0f, opacity);
    r.begin(GL_QUADS);
    r.texCoord2f(0.0f, 0.0f);
    r.vertex3f(centreX - halfWidth, centreY - halfHeight, 0.0f);
    r.texCoord2f(1.0f, 0.0f);
    r.vertex3f(centreX + halfWidth, centreY - halfHeight, 0.0f);
    r.texCoord2f(1.0f, 1.0f);
    r.vertex3f(centreX + halfWidth, centreY + halfHeight, 0.0f);
    r.texCoord2f(0.0f, 1.0f);
    r.vertex3f(centreX - halfWidth, centreY + halfHeight, 0.0f);
    r.end();
    endQuad();
}

// Deliberate: the overlay takes the colour (and so the alpha) the scene left current
// (DrawOverlayQuad.TransparentAreasShowWhatIsBehindAndTheCurrentAlphaFadesIt).
void DrawOverlayQuad(float centreX, float centreY, float halfWidth, float halfHeight, GLuint texture)
{
    Renderer& r = ActiveRenderer();
    beginQuad(texture);
    r.begin(GL_QUADS);
    r.texCoord2f(1.0f, 1.0f);
    r.vertex3f(centreX + halfWidth, centreY - halfHeight, 0.0f);
    r.texCoord2f(0.0f, 1.0f);
    r.vertex3f(centreX - halfWidth, centreY - halfHeight, 0.0f);
    r.texCoord2f(0.0f, 0.0f);
    r.vertex3f(centreX - halfWidth, centreY + halfHeight, 0.0f);
    r.texCoord2f(1.0f, 0.0f);
    r.vertex3f(centreX + halfWidth, centreY + halfHeight, 0.0f);
    r.end();
    endQuad();
}

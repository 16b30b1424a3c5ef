#include "gpu/renderer_gl.h"

#include "gpu/gl_extensions.h"

void GlRenderer::enable(GLenum cap) { glEnable(cap); }
void GlRenderer::disable(GLenum cap) { glDisable(cap); }
void GlRenderer::cullFace(GLenum face) { glCullFace(face); }
void GlRenderer::depthMask(GLboolean on) { glDepthMask(on); }
void GlRenderer::depthFunc(GLenum func) { glDepthFunc(func); }
void GlRenderer::blendFunc(GLenum source, GLenum destination) { glBlendFunc(source, destination); }
void GlRenderer::shadeModel(GLenum model) { glShadeModel(model); }
void GlRenderer::polygonMode(GLenum face, GLenum mode) { glPolygonMode(face, mode); }
void GlRenderer::colorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) { glColorMask(r, g, b, a); }
void GlRenderer::clearColor(float r, float g, float b, float a) { glClearColor(r, g, b, a); }
void GlRenderer::clearDepth(double depth) { glClearDepth(depth); }
void GlRenderer::clear(GLbitfield mask) { glClear(mask); }

void GlRenderer::finish() { glFinish(); }
void GlRenderer::viewport(int x, int y, int width, int height) { glViewport(x, y, width, height); }
void GlRenderer::pushAllAttributes() { glPushAttrib(GL_ALL_ATTRIB_BITS); }
void GlRenderer::popAllAttributes() { glPopAttrib(); }
void GlRenderer::pushClientAttributes() { glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS); }
void GlRenderer::popClientAttributes() { glPopClientAttrib(); }
void GlRenderer::getIntegerv(GLenum name, GLint* values) { glGetIntegerv(name, values); }

void GlRenderer::matrixMode(GLenum mode) { glMatrixMode(mode); }
void GlRenderer::loadIdentity() { glLoadIdentity(); }
void GlRenderer::pushMatrix() { glPushMatrix(); }
void GlRenderer::popMatrix() { glPopMatrix(); }
void GlRenderer::loadMatrixf(const float* m) { glLoadMatrixf(m); }
void GlRenderer::multMatrixf(const float* m) { glMultMatrixf(m); }
void GlRenderer::getModelViewMatrix(float* m) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

void GlRenderer::ortho(double left, double right, double bottom, double top, double near, double far)
{
    glOrtho(left, right, bottom, top, near, far);
}

void GlRenderer::perspective(double fovY, double aspect, double near, double far)
{
    gluPerspective(fovY, aspect, near, far);
}

void GlRenderer::lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
                        double upX, double upY, double upZ)
{
    gluLookAt(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ);
}

void GlRenderer::materialfv(GLenum face, GLenum name, const float* values) { glMaterialfv(face, name, values); }
void GlRenderer::lightfv(GLenum light, GLenum name, const float* values) { glLightfv(light, name, values); }
void GlRenderer::lightf(GLenum light, GLenum name, float value) { glLightf(light, name, value); }

void GlRenderer::activeTexture(GLenum unit)
{
    if (ext::glActiveTextureARB)
        ext::glActiveTextureARB(unit);
}

void GlRenderer::bindTexture(GLuint texture) { glBindTexture(GL_TEXTURE_2D, texture); }
void GlRenderer::texGeni(GLenum coordinate, GLenum name, GLint value) { glTexGeni(coordinate, name, value); }
void GlRenderer::texEnvi(GLenum name, GLint value) { glTexEnvi(GL_TEXTURE_ENV, name, value); }

GLuint GlRenderer::genTexture()
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    return texture;
}

void GlRenderer::deleteTexture(GLuint texture) { glDeleteTextures(1, &texture); }
void GlRenderer::texParameteri(GLenum name, GLint value) { glTexParameteri(GL_TEXTURE_2D, name, value); }
void GlRenderer::pixelStorei(GLenum name, GLint value) { glPixelStorei(name, value); }

void GlRenderer::texImage2D(GLint internalFormat, int width, int height, GLenum format, const void* pixels)
{
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}

void GlRenderer::buildMipmaps(int width, int height, GLenum format, const void* pixels)
{
    gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), width, height, format, GL_UNSIGNED_BYTE, pixels);
}

bool GlRenderer::isTexture(GLuint texture) { return glIsTexture(texture) == GL_TRUE; }

void GlRenderer::begin(GLenum primitive) { glBegin(primitive); }
void GlRenderer::end() { glEnd(); }
void GlRenderer::vertex2f(float x, float y) { glVertex2f(x, y); }
void GlRenderer::vertex3f(float x, float y, float z) { glVertex3f(x, y, z); }
void GlRenderer::normal3fv(const float* n) { glNormal3fv(n); }
void GlRenderer::color4f(float r, float g, float b, float a) { glColor4f(r, g, b, a); }
void GlRenderer::texCoord2f(float s, float t) { glTexCoord2f(s, t); }
void GlRenderer::multiTexCoord2f(GLenum unit, float s, float t) { ext::glMultiTexCoord2fARB(unit, s, t); }
void GlRenderer::enableClientState(GLenum array) { glEnableClientState(array); }
void GlRenderer::disableClientState(GLenum array) { glDisableClientState(array); }
void GlRenderer::vertexPointer(const void* xyz) { glVertexPointer(3, GL_FLOAT, 0, xyz); }
void GlRenderer::normalPointer(const void* xyz) { glNormalPointer(GL_FLOAT, 0, xyz); }
void GlRenderer::arrayElement(int index) { glArrayElement(index); }

GLuint GlRenderer::newStored() { return glGenLists(1); }
void GlRenderer::beginStoring(GLuint stored) { glNewList(stored, GL_COMPILE); }
void GlRenderer::endStoring() { glEndList(); }
void GlRenderer::drawStored(GLuint stored) { glCallList(stored); }
void GlRenderer::deleteStored(GLuint stored) { glDeleteLists(stored, 1); }

void GlRenderer::readPixels(int x, int y, int width, int height, void* rgba)
{
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

GLenum GlRenderer::takeError() { return glGetError(); }

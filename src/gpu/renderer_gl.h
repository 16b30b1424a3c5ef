// GlRenderer: the renderer that hands every call to the driver's OpenGL 1.1
// fixed-function pipeline as it is, with GLU for the matrices and display lists for
// stored drawings.
#pragma once

#include "gpu/renderer.h"

class GlRenderer final : public Renderer {
public:
    RendererKind kind() const override { return RendererKind::Gl; }

    void enable(GLenum cap) override;
    void disable(GLenum cap) override;
    void cullFace(GLenum face) override;
    void depthMask(GLboolean on) override;
    void depthFunc(GLenum func) override;
    void blendFunc(GLenum source, GLenum destination) override;
    void shadeModel(GLenum model) override;
    void polygonMode(GLenum face, GLenum mode) override;
    void colorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) override;
    void clearColor(float r, float g, float b, float a) override;
    void clearDepth(double depth) override;
    void clear(GLbitfield mask) override;
    void finish() override;
    void viewport(int x, int y, int width, int height) override;
    void pushAllAttributes() override;
    void popAllAttributes() override;
    void pushClientAttributes() override;
    void popClientAttributes() override;
    void getIntegerv(GLenum name, GLint* values) override;

    void matrixMode(GLenum mode) override;
    void loadIdentity() override;
    void pushMatrix() override;
    void popMatrix() override;
    void loadMatrixf(const float* m) override;
    void multMatrixf(const float* m) override;
    void getModelViewMatrix(float* m) override;
    void ortho(double left, double right, double bottom, double top, double near, double far) override;
    void perspective(double fovY, double aspect, double near, double far) override;
    void lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ, double upX,
                double upY, double upZ) override;

    void materialfv(GLenum face, GLenum name, const float* values) override;
    void lightfv(GLenum light, GLenum name, const float* values) override;
    void lightf(GLenum light, GLenum name, float value) override;

    void activeTexture(GLenum unit) override;
    void bindTexture(GLuint texture) override;
    void texGeni(GLenum coordinate, GLenum name, GLint value) override;
    void texEnvi(GLenum name, GLint value) override;
    GLuint genTexture() override;
    void deleteTexture(GLuint texture) override;
    void texParameteri(GLenum name, GLint value) override;
    void pixelStorei(GLenum name, GLint value) override;
    void texImage2D(GLint internalFormat, int width, int height, GLenum format, const void* pixels) override;
    void buildMipmaps(int width, int height, GLenum format, const void* pixels) override;
    bool isTexture(GLuint texture) override;

    void begin(GLenum primitive) override;
    void end() override;
    void vertex2f(float x, float y) override;
    void vertex3f(float x, float y, float z) override;
    void normal3fv(const float* n) override;
    void color4f(float r, float g, float b, float a) override;
    void texCoord2f(float s, float t) override;
    void multiTexCoord2f(GLenum unit, float s, float t) override;
    void enableClientState(GLenum array) override;
    void disableClientState(GLenum array) override;
    void vertexPointer(const void* xyz) override;
    void normalPointer(const void* xyz) override;
    void arrayElement(int index) override;

    GLuint newStored() override;
    void beginStoring(GLuint stored) override;
    void endStoring() override;
    void drawStored(GLuint stored) override;
    void deleteStored(GLuint stored) override;

    void readPixels(int x, int y, int width, int height, void* rgba) override;
    GLenum takeError() override;
};

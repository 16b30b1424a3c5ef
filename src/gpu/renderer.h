// Renderer: every drawing call the engine makes, in OpenGL 1.1's vocabulary, behind one
// interface with two implementations. The `gl` renderer hands each call to the driver's
// fixed-function pipeline as it is; the `gles2` renderer keeps the same state machine
// itself and draws with OpenGL ES 2.0 buffers and shaders (what WebGL 1 offers).
//
// The engine's drawing units call ActiveRenderer() and nothing else; which renderer that is
// follows the context: the platform that makes a context installs the renderer the program
// chose for it. Each renderer is a library of its own: taldrex_gpu_gles2 fetches every entry
// point through the platform (gpu/gl_context.h) and links nothing; taldrex_gpu_gl links
// desktop OpenGL and GLU and fetches only the multitexture extension. A program links the
// ones it offers. The renderer installed last draws: contexts are made current one
// after the other, the newest drawing until it goes.
#pragma once

#include "gpu/gl.h"

#include <cstdint>
#include <memory>
#include <string>

enum class RendererKind { Gl, Gles2 };

// The name given on the command line ("gl", "gles2").
const char* RendererName(RendererKind kind);
// The kind named by text, or false when it names none.
bool ParseRendererName(const std::string& text, RendererKind& kind);

class Renderer {
public:
    virtual ~Renderer();
    virtual RendererKind kind() const = 0;

    // State switches and their values (GL_LIGHTING, GL_LIGHTi, GL_TEXTURE_2D and texture
    // generation of the active unit, GL_BLEND, GL_CULL_FACE, GL_DEPTH_TEST, GL_NORMALIZE...).
    virtual void enable(GLenum cap) = 0;
    virtual void disable(GLenum cap) = 0;
    virtual void cullFace(GLenum face) = 0;
    virtual void depthMask(GLboolean on) = 0;
    virtual void depthFunc(GLenum func) = 0;
    virtual void blendFunc(GLenum source, GLenum destination) = 0;
    virtual void shadeModel(GLenum model) = 0;
    virtual void polygonMode(GLenum face, GLenum mode) = 0;
    virtual void colorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) = 0;
    virtual void clearColor(float r, float g, float b, float a) = 0;
    virtual void clearDepth(double depth) = 0;
    virtual void clear(GLbitfield mask) = 0;
    // Returns once the driver has carried out every call made so far, as glFinish does.
    virtual void finish() = 0;
    virtual void viewport(int x, int y, int width, int height) = 0;
    // Saves and restores every state of the frame (matrices are stacks of their own);
    // saves and restores the client arrays and pixel storage.
    virtual void pushAllAttributes() = 0;
    virtual void popAllAttributes() = 0;
    virtual void pushClientAttributes() = 0;
    virtual void popClientAttributes() = 0;
    virtual void getIntegerv(GLenum name, GLint* values) = 0;

    // Matrices: GL_MODELVIEW, GL_PROJECTION and GL_TEXTURE stacks, and GLU's builders.
    virtual void matrixMode(GLenum mode) = 0;
    virtual void loadIdentity() = 0;
    virtual void pushMatrix() = 0;
    virtual void popMatrix() = 0;
    virtual void loadMatrixf(const float* m) = 0;
    virtual void multMatrixf(const float* m) = 0;
    virtual void getModelViewMatrix(float* m) = 0;
    virtual void ortho(double left, double right, double bottom, double top, double near, double far) = 0;
    virtual void perspective(double fovY, double aspect, double near, double far) = 0;
    virtual void lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
                        double upX, double upY, double upZ) = 0;

    // Lighting: the material's front diffuse colour and a light's position, diffuse colour
    // and attenuation, as glMaterialfv and glLightfv/glLightf take them.
    virtual void materialfv(GLenum face, GLenum name, const float* values) = 0;
    virtual void lightfv(GLenum light, GLenum name, const float* values) = 0;
    virtual void lightf(GLenum light, GLenum name, float value) = 0;

    // Texture units and textures.
    virtual void activeTexture(GLenum unit) = 0;
    virtual void bindTexture(GLuint texture) = 0;
    virtual void texGeni(GLenum coordinate, GLenum name, GLint value) = 0;
    virtual void texEnvi(GLenum name, GLint value) = 0;
    virtual GLuint genTexture() = 0;
    virtual void deleteTexture(GLuint texture) = 0;
    virtual void texParameteri(GLenum name, GLint value) = 0;
    virtual void pixelStorei(GLenum name, GLint value) = 0;
    // Level 0 of the bound texture; internalFormat is a component count or a format.
    virtual void texImage2D(GLint internalFormat, int width, int height, GLenum format, const void* pixels) = 0;
    // Every level of the bound texture from a picture whose sides are powers of two.
    virtual void buildMipmaps(int width, int height, GLenum format, const void* pixels) = 0;
    // Whether texture names a texture of this context.
    virtual bool isTexture(GLuint texture) = 0;

    // Geometry: immediate mode with the current colour, normal and coordinates of units 0
    // and 1, and vertex and normal arrays (three floats a vertex) read by arrayElement.
    virtual void begin(GLenum primitive) = 0;
    virtual void end() = 0;
    virtual void vertex2f(float x, float y) = 0;
    virtual void vertex3f(float x, float y, float z) = 0;
    virtual void normal3fv(const float* n) = 0;
    virtual void color4f(float r, float g, float b, float a) = 0;
    virtual void texCoord2f(float s, float t) = 0;
    virtual void multiTexCoord2f(GLenum unit, float s, float t) = 0;
    virtual void enableClientState(GLenum array) = 0;
    virtual void disableClientState(GLenum array) = 0;
    virtual void vertexPointer(const void* xyz) = 0;
    virtual void normalPointer(const void* xyz) = 0;
    virtual void arrayElement(int index) = 0;

    // Stored drawings: the calls made between beginStoring and endStoring are kept (not
    // drawn) and drawn again by drawStored. newStored returns 0 when none can be made.
    virtual GLuint newStored() = 0;
    virtual void beginStoring(GLuint stored) = 0;
    virtual void endStoring() = 0;
    virtual void drawStored(GLuint stored) = 0;
    virtual void deleteStored(GLuint stored) = 0;

    // The frame's pixels: rows bottom first, RGBA, packed.
    virtual void readPixels(int x, int y, int width, int height, void* rgba) = 0;
    // An error the driver recorded since it was last asked (GL_NO_ERROR when none), cleared
    // by asking, as glGetError does.
    virtual GLenum takeError() = 0;
};

// The renderer of the current context: the one installed with it. With none installed
// (no context), one that draws nothing and answers as a driver without a context would.
Renderer& ActiveRenderer();

// Installs renderer, made for the context current now, as the active one until it is
// removed or another is installed after it. Returns it, for RemoveRenderer.
Renderer* InstallRenderer(std::unique_ptr<Renderer> renderer);
// Releases renderer, while its context is still current; the one installed before it
// draws again (nothing, with none). Does nothing for a renderer not installed.
void RemoveRenderer(const Renderer* renderer);

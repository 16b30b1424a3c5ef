#include "gpu/renderer.h"

#include <vector>

namespace {

// What draws while no context is current: nothing, as OpenGL calls made without a context
// do nothing; what it is asked for is zero, false or "no error".
class NoContextRenderer final : public Renderer {
public:
    RendererKind kind() const override { return RendererKind::Gl; }
    void enable(GLenum) override {}
    void disable(GLenum) override {}
    void cullFace(GLenum) override {}
    void depthMask(GLboolean) override {}
    void depthFunc(GLenum) override {}
    void blendFunc(GLenum, GLenum) override {}
    void shadeModel(GLenum) override {}
    void polygonMode(GLenum, GLenum) override {}
    void colorMask(GLboolean, GLboolean, GLboolean, GLboolean) override {}
    void clearColor(float, float, float, float) override {}
    void clearDepth(double) override {}
    void clear(GLbitfield) override {}
    void finish() override {}
    void viewport(int, int, int, int) override {}
    void pushAllAttributes() override {}
    void popAllAttributes() override {}
    void pushClientAttributes() override {}
    void popClientAttributes() override {}
    void getIntegerv(GLenum, GLint*) override {}
    void matrixMode(GLenum) override {}
    void loadIdentity() override {}
    void pushMatrix() override {}
    void popMatrix() override {}
    void loadMatrixf(const float*) override {}
    void multMatrixf(const float*) override {}
    void getModelViewMatrix(float*) override {}
    void ortho(double, double, double, double, double, double) override {}
    void perspective(double, double, double, double) override {}
    void lookAt(double, double, double, double, double, double, double, double, double) override {}
    void materialfv(GLenum, GLenum, const float*) override {}
    void lightfv(GLenum, GLenum, const float*) override {}
    void lightf(GLenum, GLenum, float) override {}
    void activeTexture(GLenum) override {}
    void bindTexture(GLuint) override {}
    void texGeni(GLenum, GLenum, GLint) override {}
    void texEnvi(GLenum, GLint) override {}
    GLuint genTexture() override { return 0; }
    void deleteTexture(GLuint) override {}
    void texParameteri(GLenum, GLint) override {}
    void pixelStorei(GLenum, GLint) override {}
    void texImage2D(GLint, int, int, GLenum, const void*) override {}
    void buildMipmaps(int, int, GLenum, const void*) override {}
    bool isTexture(GLuint) override { return false; }
    void begin(GLenum) override {}
    void end() override {}
    void vertex2f(float, float) override {}
    void vertex3f(float, float, float) override {}
    void normal3fv(const float*) override {}
    void color4f(float, float, float, float) override {}
    void texCoord2f(float, float) override {}
    void multiTexCoord2f(GLenum, float, float) override {}
    void enableClientState(GLenum) override {}
    void disableClientState(GLenum) override {}
    void vertexPointer(const void*) override {}
    void normalPointer(const void*) override {}
    void arrayElement(int) override {}
    GLuint newStored() override { return 0; }
    void beginStoring(GLuint) override {}
    void endStoring() override {}
    void drawStored(GLuint) override {}
    void deleteStored(GLuint) override {}
    void readPixels(int, int, int, int, void*) override {}
    GLenum takeError() override { return GL_NO_ERROR; }
};

// The renderers installed with the contexts that live, the newest last: the one that draws.
std::vector<std::unique_ptr<Renderer>> installed;

} // namespace

Renderer::~Renderer() = default;

const char* RendererName(RendererKind kind)
{
    return kind == RendererKind::Gles2 ? "gles2" : "gl";
}

bool ParseRendererName(const std::string& text, RendererKind& kind)
{
    if (text == "gl")
        kind = RendererKind::Gl;
    else if (text == "gles2")
        kind = RendererKind::Gles2;
    else
        return false;
    return true;
}

Renderer& ActiveRenderer()
{
    static NoContextRenderer nothing;
    return installed.empty() ? nothing : *installed.back();
}

Renderer* InstallRenderer(std::unique_ptr<Renderer> renderer)
{
    installed.push_back(std::move(renderer));
    return installed.back().get();
}

void RemoveRenderer(const Renderer* renderer)
{
    for (auto it = installed.begin(); it != installed.end(); ++it) {
        if (it->get() == renderer) {
            installed.erase(it);
            return;
        }
    }
}

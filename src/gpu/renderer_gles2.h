// Gles2Renderer: the renderer that keeps OpenGL 1.1's fixed-function state itself and
// draws with OpenGL ES 2.0 vertex buffers and GLSL ES 1.00 shaders.
//
// What it keeps, and what of it reaches the picture: the model-view, projection and
// texture matrix stacks; lighting with eight lights (position in eye space when given,
// diffuse colour, attenuation) and the material's diffuse colour; texturing, sphere-map
// generation and the modulate environment of units 0 and 1; normalising; the current
// colour, normal and coordinates; vertex and normal arrays; saved attributes. Blending,
// depth, culling, clearing, colour mask and viewport are ES 2.0's own and are passed on.
// Never met in the show and so not drawn: shade model (flat shading only ever meets one
// colour), polygon modes other than fill, texture matrices other than the identity, fog,
// alpha test, colour material.
#pragma once

#include "common/matrix4.h"
#include "gpu/gles2_program.h"
#include "gpu/renderer.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Halves a width x height picture of components-byte texels in place into the next mipmap
// level (each side halved, a side of 1 kept), averaging as GLU does.
void HalveTexels(std::vector<uint8_t>& texels, int width, int height, int components);

class Gles2Renderer final : public Renderer {
public:
    // A renderer for the ES 2.0 context current now, drawing with sources, or null with the
    // reason in error (no ES 2.0 context, a missing entry point, a shader that fails).
    static std::unique_ptr<Gles2Renderer> create(std::string& error,
                                                 const Gles2ShaderSources& sources = FixedFunctionShaders());
    ~Gles2Renderer() override;

    RendererKind kind() const override { return RendererKind::Gles2; }

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

    static constexpr int MaxLights = 8;
    static constexpr int Units = 8;
    static constexpr int DrawnUnits = 2;

    // The current values a vertex takes: colour, normal and the coordinates of units 0 and 1.
    struct Attributes {
        float colour[4] = {1, 1, 1, 1};
        float normal[3] = {0, 0, 1};
        float texCoord[DrawnUnits][2] = {{0, 0}, {0, 0}};
    };
    // One vertex as the buffers hold it.
    struct Vertex {
        float position[3];
        Attributes attributes;
    };

private:
    struct Light {
        bool on = false;
        float position[4] = {0, 0, 1, 0};
        float diffuse[4] = {0, 0, 0, 1};
        float attenuation[3] = {1, 0, 0};
    };
    struct Unit {
        bool texture = false;
        bool generateS = false;
        bool generateT = false;
        GLint modeS = GL_EYE_LINEAR;
        GLint modeT = GL_EYE_LINEAR;
        GLuint bound = 0;
    };
    // Everything pushAllAttributes saves.
    struct State {
        bool lighting = false, normalize = false, blend = false, cull = false, depthTest = false;
        bool scissor = false, stencil = false;
        Light lights[MaxLights];
        float materialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
        Unit units[Units];
        int activeUnit = 0;
        GLenum cullMode = GL_BACK, depthFunction = GL_LESS, blendSource = GL_ONE, blendDestination = GL_ZERO;
        GLenum matrixMode = GL_MODELVIEW;
        GLboolean depthWrites = GL_TRUE;
        GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
        float clearColour[4] = {0, 0, 0, 0};
        float clearDepth = 1.0f;
        GLint viewport[4] = {0, 0, 0, 0};
        Attributes current;
    };
    struct ClientState {
        bool vertexArray = false, normalArray = false;
        const float* vertices = nullptr;
        const float* normals = nullptr;
        GLint packAlignment = 4, unpackAlignment = 4;
    };
    struct MatrixStack {
        Matrix4 levels[32];
        int depth = 1;
        int capacity = 32;
    };
    struct TextureInfo {
        int width = 0, height = 0;
        // What the shader makes of a texel: 0 colour and alpha, 1 colour only, 2 alpha only.
        int kind = 0;
        GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
        GLint magFilter = GL_LINEAR;
        GLint wrapS = GL_REPEAT, wrapT = GL_REPEAT;
        bool mipmaps = false;
    };
    // A call kept in a stored drawing, or one of its draws.
    struct Op {
        enum Kind : uint8_t { Enable, Disable, CullFace, DepthMask, BlendFunc, ActiveTexture, BindTexture, TexGen,
                              Colour, Normal, TexCoord, Draw } kind;
        GLenum a = 0;
        GLint b = 0;
        float f[4] = {0, 0, 0, 0};
        // Draw: the vertices in the drawing's buffer, and which attributes its own calls set
        // before them (the rest come from the current values when it is drawn).
        uint32_t first = 0, count = 0;
        uint8_t ownAttributes = 0;
    };
    struct Stored {
        std::vector<Op> ops;
        std::vector<Vertex> vertices;
        GLuint buffer = 0;
    };

    Gles2Renderer() = default;
    bool start(std::string& error, const Gles2ShaderSources& sources);

    void apply(const Op& op);
    void record(const Op& op) { storing_->ops.push_back(op); }
    void setCapability(GLenum cap, bool on);
    void applyState(const State& state);
    MatrixStack& stack();
    Matrix4& top() { return stack().levels[stack().depth - 1]; }
    void multiply(const Matrix4& m);
    Attributes& attributes() { return storing_ ? storedAttributes_ : state_.current; }
    void setAttribute(Op::Kind kind, GLenum unit, const float* values);
    void emit(float x, float y, float z);
    void finishBatch();
    void draw(GLenum primitive, GLuint buffer, uint32_t first, uint32_t count, uint8_t ownAttributes);
    void setUniforms();
    void syncTexture();
    // Whether info holds a whole picture (every level its filter needs).
    static bool complete(const TextureInfo& info);
    static bool repeatsInShader(const TextureInfo& info);
    TextureInfo* boundTexture();

    Gles2Api gl_;
    // One program per combination of features that can be drawn; unused slots stay 0.
    Gles2Program programs_[Gles2FeatureCombinations];
    unsigned currentProgram_ = Gles2FeatureCombinations;
    State state_;
    State saved_[16];
    int savedCount_ = 0;
    ClientState client_;
    ClientState savedClient_[16];
    int savedClientCount_ = 0;
    MatrixStack modelView_, projection_, texture_;
    std::unordered_map<GLuint, TextureInfo> textures_;
    std::unordered_map<GLuint, Stored> stored_;
    GLuint nextStored_ = 1;
    Stored* storing_ = nullptr;
    Attributes storedAttributes_;
    uint8_t storedOwn_ = 0;
    GLenum primitive_ = 0;
    bool inBatch_ = false;
    std::vector<Vertex> batch_;
    std::vector<Vertex> triangles_;
    GLuint streamBuffer_ = 0;
};

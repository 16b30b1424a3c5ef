#include "gpu/renderer_gles2.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

bool usesMipmaps(GLint filter) { return filter != GL_NEAREST && filter != GL_LINEAR; }

// What the shader makes of a texture stored with internalFormat.
int textureKind(GLint internalFormat)
{
    if (internalFormat == GL_ALPHA)
        return 2;
    if (internalFormat == 3 || internalFormat == GL_RGB)
        return 1;
    return 0;
}

Matrix4 fromArray(const float* m)
{
    Matrix4 result;
    std::memcpy(result.m, m, sizeof result.m);
    return result;
}

// GLU's vector helpers, in single precision as GLU works them.
void normalise(float v[3])
{
    const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f)
        return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

} // namespace

void HalveTexels(std::vector<uint8_t>& texels, int width, int height, int components)
{
    const int newWidth = width > 1 ? width / 2 : 1;
    const int newHeight = height > 1 ? height / 2 : 1;
    const size_t row = size_t(width) * components;
    const int across = width > 1 ? components : 0;
    const size_t down = height > 1 ? row : 0;
    const bool square = across && down;
    uint8_t* out = texels.data();
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x)
            for (int c = 0; c < components; ++c) {
                const uint8_t* t = texels.data() + size_t(y) * (down ? 2 : 1) * row + size_t(x) * 2 * components + c;
                // GLU rounds a 2 x 2 average to nearest and a pair's average down.
                *out++ = square ? uint8_t((t[0] + t[across] + t[down] + t[down + across] + 2) / 4)
                                : uint8_t((t[0] + t[across + down]) / 2);
            }
    texels.resize(size_t(newWidth) * newHeight * components);
}

std::unique_ptr<Gles2Renderer> Gles2Renderer::create(std::string& error, const Gles2ShaderSources& sources)
{
    std::unique_ptr<Gles2Renderer> renderer(new Gles2Renderer());
    if (!renderer->start(error, sources))
        return nullptr;
    return renderer;
}

bool Gles2Renderer::start(std::string& error, const Gles2ShaderSources& sources)
{
    if (!LoadGles2Api(gl_, error))
        return false;
    const char* version = reinterpret_cast<const char*>(gl_.GetString(GL_VERSION));
    if (!version || std::strncmp(version, "OpenGL ES ", 10) != 0) {
        error = std::string("the gles2 renderer needs an OpenGL ES 2.0 context, and this one is \"") +
            (version ? version : "unknown") + "\"";
        return false;
    }
    // Every combination is built now, so that a shader the driver refuses ends the start
    // and no frame waits for a compiler. A repeat switch is useless without its unit.
    for (unsigned features = 0; features < Gles2FeatureCombinations; ++features) {
        const bool useless = ((features & FeatureRepeat0) && !(features & FeatureTexture0)) ||
            ((features & FeatureRepeat1) && !(features & FeatureTexture1));
        if (!useless && !BuildGles2Program(gl_, sources, features, programs_[features], error))
            return false;
    }
    gl_.GenBuffers(1, &streamBuffer_);
    gl_.GetIntegerv(GL_VIEWPORT, state_.viewport);
    gl_.EnableVertexAttribArray(AttributePosition);
    state_.lights[0].diffuse[0] = state_.lights[0].diffuse[1] = state_.lights[0].diffuse[2] = 1.0f;
    modelView_.capacity = projection_.capacity = 32;
    texture_.capacity = 10;
    batch_.reserve(4096);
    triangles_.reserve(6144);
    return true;
}

Gles2Renderer::~Gles2Renderer()
{
    for (auto& entry : stored_)
        if (entry.second.buffer)
            gl_.DeleteBuffers(1, &entry.second.buffer);
    if (streamBuffer_)
        gl_.DeleteBuffers(1, &streamBuffer_);
    for (const Gles2Program& program : programs_)
        if (program.program)
            gl_.DeleteProgram(program.program);
}

GLenum Gles2Renderer::takeError() { return gl_.GetError(); }

// ---- State ----

void Gles2Renderer::apply(const Op& op)
{
    State& s = state_;
    switch (op.kind) {
    case Op::Enable:
    case Op::Disable:
        setCapability(op.a, op.kind == Op::Enable);
        break;
    case Op::CullFace:
        s.cullMode = op.a;
        gl_.CullFace(op.a);
        break;
    case Op::DepthMask:
        s.depthWrites = static_cast<GLboolean>(op.a);
        gl_.DepthMask(s.depthWrites);
        break;
    case Op::BlendFunc:
        s.blendSource = op.a;
        s.blendDestination = static_cast<GLenum>(op.b);
        gl_.BlendFunc(s.blendSource, s.blendDestination);
        break;
    case Op::ActiveTexture:
        s.activeUnit = static_cast<int>(op.a - GL_TEXTURE0);
        gl_.ActiveTexture(op.a);
        break;
    case Op::BindTexture:
        s.units[s.activeUnit].bound = op.a;
        gl_.BindTexture(GL_TEXTURE_2D, op.a);
        break;
    case Op::TexGen:
        (op.a == GL_S ? s.units[s.activeUnit].modeS : s.units[s.activeUnit].modeT) = op.b;
        break;
    case Op::Colour:
        std::memcpy(s.current.colour, op.f, sizeof s.current.colour);
        break;
    case Op::Normal:
        std::memcpy(s.current.normal, op.f, sizeof s.current.normal);
        break;
    case Op::TexCoord:
        std::memcpy(s.current.texCoord[op.a], op.f, sizeof s.current.texCoord[0]);
        break;
    case Op::Draw:
        break;
    }
}

void Gles2Renderer::setCapability(GLenum cap, bool on)
{
    State& s = state_;
    Unit& unit = s.units[s.activeUnit];
    auto native = [this, on](GLenum nativeCap, bool& kept) {
        kept = on;
        on ? gl_.Enable(nativeCap) : gl_.Disable(nativeCap);
    };
    switch (cap) {
    case GL_LIGHTING: s.lighting = on; break;
    case GL_NORMALIZE: s.normalize = on; break;
    case GL_TEXTURE_2D: unit.texture = on; break;
    case GL_TEXTURE_GEN_S: unit.generateS = on; break;
    case GL_TEXTURE_GEN_T: unit.generateT = on; break;
    case GL_BLEND: native(GL_BLEND, s.blend); break;
    case GL_CULL_FACE: native(GL_CULL_FACE, s.cull); break;
    case GL_DEPTH_TEST: native(GL_DEPTH_TEST, s.depthTest); break;
    case GL_SCISSOR_TEST: native(GL_SCISSOR_TEST, s.scissor); break;
    case GL_STENCIL_TEST: native(GL_STENCIL_TEST, s.stencil); break;
    default:
        if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + MaxLights)
            s.lights[cap - GL_LIGHT0].on = on;
        // Fog, alpha test, colour material: only ever turned off.
        break;
    }
}

void Gles2Renderer::enable(GLenum cap)
{
    const Op op{Op::Enable, cap};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::disable(GLenum cap)
{
    const Op op{Op::Disable, cap};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::cullFace(GLenum face)
{
    const Op op{Op::CullFace, face};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::depthMask(GLboolean on)
{
    const Op op{Op::DepthMask, on};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::blendFunc(GLenum source, GLenum destination)
{
    const Op op{Op::BlendFunc, source, static_cast<GLint>(destination)};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::depthFunc(GLenum func)
{
    state_.depthFunction = func;
    gl_.DepthFunc(func);
}

// Nothing to keep: smooth and flat shading only ever meet one colour per primitive in the
// show, and the only polygon mode it sets is fill.
void Gles2Renderer::shadeModel(GLenum) {}
void Gles2Renderer::polygonMode(GLenum, GLenum) {}

void Gles2Renderer::colorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a)
{
    const GLboolean mask[4] = {r, g, b, a};
    std::memcpy(state_.colourMask, mask, sizeof mask);
    gl_.ColorMask(r, g, b, a);
}

void Gles2Renderer::clearColor(float r, float g, float b, float a)
{
    const float colour[4] = {r, g, b, a};
    std::memcpy(state_.clearColour, colour, sizeof colour);
    gl_.ClearColor(r, g, b, a);
}

void Gles2Renderer::clearDepth(double depth)
{
    state_.clearDepth = static_cast<float>(depth);
    gl_.ClearDepthf(state_.clearDepth);
}

void Gles2Renderer::clear(GLbitfield mask) { gl_.Clear(mask); }

void Gles2Renderer::finish() { gl_.Finish(); }

void Gles2Renderer::viewport(int x, int y, int width, int height)
{
    const GLint box[4] = {x, y, width, height};
    std::memcpy(state_.viewport, box, sizeof box);
    gl_.Viewport(x, y, width, height);
}

void Gles2Renderer::applyState(const State& state)
{
    state_ = state;
    const State& s = state_;
    auto native = [this](GLenum cap, bool on) { on ? gl_.Enable(cap) : gl_.Disable(cap); };
    native(GL_BLEND, s.blend);
    native(GL_CULL_FACE, s.cull);
    native(GL_DEPTH_TEST, s.depthTest);
    native(GL_SCISSOR_TEST, s.scissor);
    native(GL_STENCIL_TEST, s.stencil);
    gl_.CullFace(s.cullMode);
    gl_.DepthFunc(s.depthFunction);
    gl_.BlendFunc(s.blendSource, s.blendDestination);
    gl_.DepthMask(s.depthWrites);
    gl_.ColorMask(s.colourMask[0], s.colourMask[1], s.colourMask[2], s.colourMask[3]);
    gl_.ClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    gl_.ClearDepthf(s.clearDepth);
    gl_.Viewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    for (int unit = 0; unit < Units; ++unit) {
        gl_.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        gl_.BindTexture(GL_TEXTURE_2D, s.units[unit].bound);
    }
    gl_.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s.activeUnit));
}

void Gles2Renderer::pushAllAttributes()
{
    if (savedCount_ < 16)
        saved_[savedCount_++] = state_;
}

void Gles2Renderer::popAllAttributes()
{
    if (savedCount_ > 0)
        applyState(saved_[--savedCount_]);
}

void Gles2Renderer::pushClientAttributes()
{
    if (savedClientCount_ < 16)
        savedClient_[savedClientCount_++] = client_;
}

void Gles2Renderer::popClientAttributes()
{
    if (savedClientCount_ == 0)
        return;
    client_ = savedClient_[--savedClientCount_];
    gl_.PixelStorei(GL_PACK_ALIGNMENT, client_.packAlignment);
    gl_.PixelStorei(GL_UNPACK_ALIGNMENT, client_.unpackAlignment);
}

void Gles2Renderer::getIntegerv(GLenum name, GLint* values)
{
    switch (name) {
    case GL_MAX_MODELVIEW_STACK_DEPTH: *values = modelView_.capacity; break;
    case GL_MODELVIEW_STACK_DEPTH: *values = modelView_.depth; break;
    case GL_MAX_TEXTURE_UNITS: *values = Units; break;
    case GL_PACK_ALIGNMENT: *values = client_.packAlignment; break;
    case GL_UNPACK_ALIGNMENT: *values = client_.unpackAlignment; break;
    case GL_VIEWPORT: std::memcpy(values, state_.viewport, sizeof state_.viewport); break;
    default: gl_.GetIntegerv(name, values); break;
    }
}

// ---- Matrices ----

Gles2Renderer::MatrixStack& Gles2Renderer::stack()
{
    if (state_.matrixMode == GL_PROJECTION)
        return projection_;
    if (state_.matrixMode == GL_TEXTURE)
        return texture_;
    return modelView_;
}

void Gles2Renderer::matrixMode(GLenum mode) { state_.matrixMode = mode; }
void Gles2Renderer::loadIdentity() { top() = Matrix4::identity(); }

void Gles2Renderer::pushMatrix()
{
    MatrixStack& s = stack();
    if (s.depth < s.capacity) {
        s.levels[s.depth] = s.levels[s.depth - 1];
        ++s.depth;
    }
}

void Gles2Renderer::popMatrix()
{
    MatrixStack& s = stack();
    if (s.depth > 1)
        --s.depth;
}

void Gles2Renderer::loadMatrixf(const float* m) { top() = fromArray(m); }
void Gles2Renderer::multMatrixf(const float* m) { multiply(fromArray(m)); }
void Gles2Renderer::multiply(const Matrix4& m) { top() = top() * m; }

void Gles2Renderer::getModelViewMatrix(float* m)
{
    std::memcpy(m, modelView_.levels[modelView_.depth - 1].m, sizeof(Matrix4::m));
}

void Gles2Renderer::ortho(double left, double right, double bottom, double top_, double near, double far)
{
    const float l = static_cast<float>(left), r = static_cast<float>(right);
    const float b = static_cast<float>(bottom), t = static_cast<float>(top_);
    const float n = static_cast<float>(near), f = static_cast<float>(far);
    Matrix4 m;
    m[0] = 2.0f / (r - l);
    m[12] = -(r + l) / (r - l);
    m[5] = 2.0f / (t - b);
    m[13] = -(t + b) / (t - b);
    m[10] = -2.0f / (f - n);
    m[14] = -(f + n) / (f - n);
    multiply(m);
}

void Gles2Renderer::perspective(double fovY, double aspect, double near, double far)
{
    // GLU's arithmetic, in double precision, handed over as single.
    const double radians = fovY / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = far - near;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0)
        return;
    const double cotangent = std::cos(radians) / sine;
    Matrix4 m;
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(far + near) / deltaZ);
    m[11] = -1.0f;
    m[14] = static_cast<float>(-2 * near * far / deltaZ);
    m[15] = 0.0f;
    multiply(m);
}

void Gles2Renderer::lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
                           double upX, double upY, double upZ)
{
    float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                        static_cast<float>(centreZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    float side[3];
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    Matrix4 m;
    for (int i = 0; i < 3; ++i) {
        m[i * 4 + 0] = side[i];
        m[i * 4 + 1] = up[i];
        m[i * 4 + 2] = -forward[i];
    }
    multiply(m);
    Matrix4& t = top();
    const float x = static_cast<float>(-eyeX), y = static_cast<float>(-eyeY), z = static_cast<float>(-eyeZ);
    for (int row = 0; row < 4; ++row)
        t[12 + row] = t[row] * x + t[4 + row] * y + t[8 + row] * z + t[12 + row];
}

// ---- Lighting ----

void Gles2Renderer::materialfv(GLenum face, GLenum name, const float* values)
{
    // The show sets the front diffuse colour only; back faces are lit with the front's.
    if ((face == GL_FRONT || face == GL_FRONT_AND_BACK) && (name == GL_DIFFUSE || name == GL_AMBIENT_AND_DIFFUSE))
        std::memcpy(state_.materialDiffuse, values, sizeof state_.materialDiffuse);
}

void Gles2Renderer::lightfv(GLenum light, GLenum name, const float* values)
{
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + MaxLights)
        return;
    Light& l = state_.lights[light - GL_LIGHT0];
    if (name == GL_POSITION) {
        // Kept in eye space, through the model-view matrix of the moment it is given.
        const Matrix4& m = modelView_.levels[modelView_.depth - 1];
        for (int row = 0; row < 4; ++row)
            l.position[row] = m[row] * values[0] + m[4 + row] * values[1] + m[8 + row] * values[2] +
                m[12 + row] * values[3];
    } else if (name == GL_DIFFUSE) {
        std::memcpy(l.diffuse, values, sizeof l.diffuse);
    }
}

void Gles2Renderer::lightf(GLenum light, GLenum name, float value)
{
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + MaxLights)
        return;
    Light& l = state_.lights[light - GL_LIGHT0];
    if (name == GL_CONSTANT_ATTENUATION)
        l.attenuation[0] = value;
    else if (name == GL_LINEAR_ATTENUATION)
        l.attenuation[1] = value;
    else if (name == GL_QUADRATIC_ATTENUATION)
        l.attenuation[2] = value;
}

// ---- Textures ----

void Gles2Renderer::activeTexture(GLenum unit)
{
    if (unit < GL_TEXTURE0 || unit >= GL_TEXTURE0 + Units)
        return;
    const Op op{Op::ActiveTexture, unit};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::bindTexture(GLuint texture)
{
    const Op op{Op::BindTexture, texture};
    storing_ ? record(op) : apply(op);
}

void Gles2Renderer::texGeni(GLenum coordinate, GLenum name, GLint value)
{
    if (name != GL_TEXTURE_GEN_MODE || (coordinate != GL_S && coordinate != GL_T))
        return;
    const Op op{Op::TexGen, coordinate, value};
    storing_ ? record(op) : apply(op);
}

// Every unit modulates: the only environment the show sets.
void Gles2Renderer::texEnvi(GLenum, GLint) {}

GLuint Gles2Renderer::genTexture()
{
    GLuint texture = 0;
    gl_.GenTextures(1, &texture);
    textures_[texture] = TextureInfo();
    return texture;
}

void Gles2Renderer::deleteTexture(GLuint texture)
{
    gl_.DeleteTextures(1, &texture);
    textures_.erase(texture);
    for (Unit& unit : state_.units)
        if (unit.bound == texture)
            unit.bound = 0;
}

Gles2Renderer::TextureInfo* Gles2Renderer::boundTexture()
{
    auto found = textures_.find(state_.units[state_.activeUnit].bound);
    return found == textures_.end() ? nullptr : &found->second;
}

// ES 2.0 (and WebGL 1) samples a texture whose sides are not powers of two only clamped
// and without mipmaps. Such a texture that repeats is sampled texel by texel in the shader,
// which wraps and filters as OpenGL would; one with mipmap filtering is filtered without.
bool Gles2Renderer::complete(const TextureInfo& info)
{
    return info.width > 0 && info.height > 0 && (info.mipmaps || !usesMipmaps(info.minFilter));
}

bool Gles2Renderer::repeatsInShader(const TextureInfo& info)
{
    const bool powers = isPowerOfTwo(info.width) && isPowerOfTwo(info.height);
    return !powers && info.wrapS == GL_REPEAT && info.wrapT == GL_REPEAT;
}

void Gles2Renderer::syncTexture()
{
    const TextureInfo* info = boundTexture();
    if (!info)
        return;
    const bool powers = isPowerOfTwo(info->width) && isPowerOfTwo(info->height);
    auto wrap = [powers](GLint mode) { return powers && mode == GL_REPEAT ? GL_REPEAT : GL_CLAMP_TO_EDGE; };
    GLint minFilter = info->minFilter;
    GLint magFilter = info->magFilter;
    if (repeatsInShader(*info)) {
        minFilter = magFilter = GL_NEAREST;
    } else if (!powers && usesMipmaps(minFilter)) {
        minFilter = minFilter == GL_NEAREST_MIPMAP_NEAREST || minFilter == GL_NEAREST_MIPMAP_LINEAR ? GL_NEAREST
                                                                                                      : GL_LINEAR;
    }
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap(info->wrapS));
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap(info->wrapT));
}

void Gles2Renderer::texParameteri(GLenum name, GLint value)
{
    TextureInfo* info = boundTexture();
    if (!info)
        return;
    if (name == GL_TEXTURE_MAG_FILTER)
        info->magFilter = value;
    else if (name == GL_TEXTURE_MIN_FILTER)
        info->minFilter = value;
    else if (name == GL_TEXTURE_WRAP_S)
        info->wrapS = value;
    else if (name == GL_TEXTURE_WRAP_T)
        info->wrapT = value;
    syncTexture();
}

void Gles2Renderer::pixelStorei(GLenum name, GLint value)
{
    if (name == GL_PACK_ALIGNMENT)
        client_.packAlignment = value;
    else if (name == GL_UNPACK_ALIGNMENT)
        client_.unpackAlignment = value;
    else
        return;
    gl_.PixelStorei(name, value);
}

void Gles2Renderer::texImage2D(GLint internalFormat, int width, int height, GLenum format, const void* pixels)
{
    TextureInfo* info = boundTexture();
    if (!info)
        return;
    info->width = width;
    info->height = height;
    info->kind = textureKind(internalFormat);
    info->mipmaps = false;
    // The filters go first, so that the driver makes room at once for the levels they
    // sample instead of copying the picture over when the mipmaps arrive.
    syncTexture();
    // ES 2.0 stores what it is given; a texture asked to keep fewer components than its
    // picture has drops them in the shader.
    gl_.TexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                   pixels);
}

void Gles2Renderer::buildMipmaps(int width, int height, GLenum format, const void* pixels)
{
    TextureInfo* info = boundTexture();
    if (!info)
        return;
    info->width = width;
    info->height = height;
    const int components = format == GL_RGBA ? 4 : format == GL_ALPHA ? 1 : 3;
    // Each level halves the one before it with GLU's 2 x 2 box and its rounding, so both
    // renderers sample the same texels. The copy goes when the levels are built, so that
    // no picture's memory outlives its loading.
    std::vector<uint8_t> mipmap(static_cast<const uint8_t*>(pixels),
                                static_cast<const uint8_t*>(pixels) + size_t(width) * height * components);
    // The driver is told of the mipmapped filter before the first level arrives, so that
    // it makes room for the whole chain at once instead of copying the first level over.
    info->kind = textureKind(static_cast<GLint>(format));
    info->mipmaps = true;
    syncTexture();
    gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (GLint level = 0;; ++level) {
        gl_.TexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(format), width, height, 0, format,
                       GL_UNSIGNED_BYTE, mipmap.data());
        if (width == 1 && height == 1)
            break;
        HalveTexels(mipmap, width, height, components);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    gl_.PixelStorei(GL_UNPACK_ALIGNMENT, client_.unpackAlignment);
}

bool Gles2Renderer::isTexture(GLuint texture) { return gl_.IsTexture(texture) == GL_TRUE; }

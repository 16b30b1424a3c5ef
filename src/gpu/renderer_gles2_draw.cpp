#include "gpu/renderer_gles2.h"

#include <cstddef>
#include <cstring>

// Geometry, stored drawings and the uniforms each draw is made with.

namespace {

// Which attributes a stored draw's own calls set, by bit.
constexpr uint8_t ColourBit = 1, NormalBit = 2, TexCoord0Bit = 4, TexCoord1Bit = 8, AllAttributes = 15;

// The material's ambient colour under the scene's ambient light, both OpenGL's defaults
// (0.2 each), plus its emission (none): what a lit vertex shows with no light reaching it.
constexpr float SceneAmbient[3] = {0.2f * 0.2f, 0.2f * 0.2f, 0.2f * 0.2f};

// The cofactors of the upper 3 x 3 of m over its determinant: the inverse transposed, which
// carries normals into eye space. A singular matrix gives zero normals.
void normalMatrix(const Matrix4& m, float out[9])
{
    auto a = [&m](int row, int col) { return static_cast<double>(m.m[col * 4 + row]); };
    double c[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const int r0 = (row + 1) % 3, r1 = (row + 2) % 3, c0 = (col + 1) % 3, c1 = (col + 2) % 3;
            c[row][col] = a(r0, c0) * a(r1, c1) - a(r0, c1) * a(r1, c0);
        }
    const double det = a(0, 0) * c[0][0] + a(0, 1) * c[0][1] + a(0, 2) * c[0][2];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            out[col * 3 + row] = det != 0.0 ? static_cast<float>(c[row][col] / det) : 0.0f;
}

} // namespace

void Gles2Renderer::setAttribute(Op::Kind kind, GLenum unit, const float* values)
{
    Attributes& a = attributes();
    float* target = kind == Op::Colour ? a.colour : kind == Op::Normal ? a.normal : a.texCoord[unit];
    const size_t count = kind == Op::Colour ? 4 : kind == Op::Normal ? 3 : 2;
    std::memcpy(target, values, count * sizeof(float));
    if (!storing_)
        return;
    storedOwn_ |= kind == Op::Colour ? ColourBit : kind == Op::Normal ? NormalBit : unit == 0 ? TexCoord0Bit
                                                                                                : TexCoord1Bit;
    // Outside a batch the call also changes the current value when the drawing is drawn.
    if (!inBatch_) {
        Op op{kind, unit};
        std::memcpy(op.f, values, count * sizeof(float));
        record(op);
    }
}

void Gles2Renderer::begin(GLenum primitive)
{
    primitive_ = primitive;
    inBatch_ = true;
    batch_.clear();
}

void Gles2Renderer::emit(float x, float y, float z)
{
    if (inBatch_)
        batch_.push_back(Vertex{{x, y, z}, attributes()});
}

void Gles2Renderer::vertex2f(float x, float y) { emit(x, y, 0.0f); }
void Gles2Renderer::vertex3f(float x, float y, float z) { emit(x, y, z); }
void Gles2Renderer::normal3fv(const float* n) { setAttribute(Op::Normal, 0, n); }

void Gles2Renderer::color4f(float r, float g, float b, float a)
{
    const float colour[4] = {r, g, b, a};
    setAttribute(Op::Colour, 0, colour);
}

void Gles2Renderer::texCoord2f(float s, float t)
{
    const float st[2] = {s, t};
    setAttribute(Op::TexCoord, 0, st);
}

void Gles2Renderer::multiTexCoord2f(GLenum unit, float s, float t)
{
    if (unit < GL_TEXTURE0 || unit >= GL_TEXTURE0 + DrawnUnits)
        return;
    const float st[2] = {s, t};
    setAttribute(Op::TexCoord, unit - GL_TEXTURE0, st);
}

void Gles2Renderer::enableClientState(GLenum array)
{
    if (array == GL_VERTEX_ARRAY)
        client_.vertexArray = true;
    else if (array == GL_NORMAL_ARRAY)
        client_.normalArray = true;
}

void Gles2Renderer::disableClientState(GLenum array)
{
    if (array == GL_VERTEX_ARRAY)
        client_.vertexArray = false;
    else if (array == GL_NORMAL_ARRAY)
        client_.normalArray = false;
}

void Gles2Renderer::vertexPointer(const void* xyz) { client_.vertices = static_cast<const float*>(xyz); }
void Gles2Renderer::normalPointer(const void* xyz) { client_.normals = static_cast<const float*>(xyz); }

void Gles2Renderer::arrayElement(int index)
{
    const size_t at = static_cast<size_t>(index) * 3;
    if (client_.normalArray && client_.normals)
        normal3fv(client_.normals + at);
    if (client_.vertexArray && client_.vertices)
        emit(client_.vertices[at], client_.vertices[at + 1], client_.vertices[at + 2]);
}

void Gles2Renderer::end()
{
    inBatch_ = false;
    finishBatch();
}

// Hands the batch begun last to the stored drawing being made, or draws it now. Quads
// become two triangles each, sharing their first corner.
void Gles2Renderer::finishBatch()
{
    GLenum primitive = primitive_;
    const std::vector<Vertex>* vertices = &batch_;
    if (primitive == GL_QUADS) {
        triangles_.clear();
        for (size_t q = 0; q + 4 <= batch_.size(); q += 4)
            for (size_t corner : {0, 1, 2, 0, 2, 3})
                triangles_.push_back(batch_[q + corner]);
        vertices = &triangles_;
        primitive = GL_TRIANGLES;
    }
    if (vertices->empty())
        return;
    const uint32_t count = static_cast<uint32_t>(vertices->size());
    if (storing_) {
        Op op{Op::Draw, primitive};
        op.first = static_cast<uint32_t>(storing_->vertices.size());
        op.count = count;
        op.ownAttributes = storedOwn_;
        storing_->vertices.insert(storing_->vertices.end(), vertices->begin(), vertices->end());
        record(op);
        return;
    }
    gl_.BindBuffer(GL_ARRAY_BUFFER, streamBuffer_);
    gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(Vertex)), vertices->data(),
                   GL_STREAM_DRAW);
    draw(primitive, streamBuffer_, 0, count, AllAttributes);
}

void Gles2Renderer::draw(GLenum primitive, GLuint buffer, uint32_t first, uint32_t count, uint8_t ownAttributes)
{
    setUniforms();
    gl_.BindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizei stride = sizeof(Vertex);
    auto offset = [](size_t bytes) { return reinterpret_cast<const void*>(bytes); };
    gl_.VertexAttribPointer(AttributePosition, 3, GL_FLOAT, GL_FALSE, stride, offset(offsetof(Vertex, position)));
    const Attributes& current = state_.current;
    struct Source {
        GLuint attribute;
        uint8_t bit;
        GLint size;
        size_t offset;
        const float* value;
    };
    const size_t at = offsetof(Vertex, attributes);
    const Source sources[] = {
        {AttributeColour, ColourBit, 4, at + offsetof(Attributes, colour), current.colour},
        {AttributeNormal, NormalBit, 3, at + offsetof(Attributes, normal), current.normal},
        {AttributeTexCoord0, TexCoord0Bit, 2, at + offsetof(Attributes, texCoord), current.texCoord[0]},
        {AttributeTexCoord1, TexCoord1Bit, 2, at + offsetof(Attributes, texCoord) + 2 * sizeof(float),
         current.texCoord[1]},
    };
    for (const Source& source : sources) {
        if (ownAttributes & source.bit) {
            gl_.EnableVertexAttribArray(source.attribute);
            gl_.VertexAttribPointer(source.attribute, source.size, GL_FLOAT, GL_FALSE, stride, offset(source.offset));
        } else {
            // Deliberate: an attribute the drawing never set takes the current value, as in
            // OpenGL, so lines take the coordinates last given and are tinted by the texture
            // left on (RenderModeTest.LinesAreTintedByTheTextureLeftBound), and the current
            // colour a scene leaves fades an overlay
            // (DrawOverlayQuad.TransparentAreasShowWhatIsBehindAndTheCurrentAlphaFadesIt).
            float value[4] = {0, 0, 0, 1};
            std::memcpy(value, source.value, static_cast<size_t>(source.size) * sizeof(float));
            gl_.DisableVertexAttribArray(source.attribute);
            gl_.VertexAttrib4fv(source.attribute, value);
        }
    }
    gl_.DrawArrays(primitive, static_cast<GLint>(first), static_cast<GLsizei>(count));
}

void Gles2Renderer::setUniforms()
{
    GLint textured[DrawnUnits], kinds[DrawnUnits], sphere[DrawnUnits];
    float repeat[DrawnUnits * 4] = {};
    unsigned features = state_.lighting ? unsigned(FeatureLighting) : 0u;
    for (int i = 0; i < DrawnUnits; ++i) {
        const Unit& unit = state_.units[i];
        auto found = textures_.find(unit.bound);
        const TextureInfo* info = found == textures_.end() ? nullptr : &found->second;
        // A texture without a complete picture leaves its unit as if texturing were off.
        textured[i] = unit.texture && info && complete(*info);
        kinds[i] = info ? info->kind : 0;
        sphere[i] = unit.generateS && unit.generateT && unit.modeS == GL_SPHERE_MAP && unit.modeT == GL_SPHERE_MAP;
        if (textured[i])
            features |= i == 0 ? FeatureTexture0 : FeatureTexture1;
        if (textured[i] && repeatsInShader(*info)) {
            features |= i == 0 ? FeatureRepeat0 : FeatureRepeat1;
            repeat[i * 4 + 0] = static_cast<float>(info->width);
            repeat[i * 4 + 1] = static_cast<float>(info->height);
            repeat[i * 4 + 2] = info->magFilter == GL_LINEAR ? 1.0f : 0.0f;
            repeat[i * 4 + 3] = 1.0f;
        }
    }
    const Gles2Program& p = programs_[features];
    if (features != currentProgram_) {
        gl_.UseProgram(p.program);
        currentProgram_ = features;
    }
    gl_.Uniform1iv(p.textureFormat, DrawnUnits, kinds);
    gl_.Uniform1iv(p.sphereMap, DrawnUnits, sphere);
    gl_.Uniform4fv(p.repeat, DrawnUnits, repeat);

    const Matrix4& modelView = modelView_.levels[modelView_.depth - 1];
    const Matrix4 combined = projection_.levels[projection_.depth - 1] * modelView;
    float normals[9];
    normalMatrix(modelView, normals);
    gl_.UniformMatrix4fv(p.modelViewProjection, 1, GL_FALSE, combined.m);
    gl_.UniformMatrix4fv(p.modelView, 1, GL_FALSE, modelView.m);
    gl_.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normals);
    gl_.Uniform1i(p.normalize, state_.normalize);
    if (!state_.lighting)
        return;
    GLint on[MaxLights];
    float position[MaxLights * 4], diffuse[MaxLights * 3], attenuation[MaxLights * 3];
    for (int i = 0; i < MaxLights; ++i) {
        const Light& l = state_.lights[i];
        on[i] = l.on;
        std::memcpy(position + i * 4, l.position, sizeof l.position);
        std::memcpy(diffuse + i * 3, l.diffuse, 3 * sizeof(float));
        std::memcpy(attenuation + i * 3, l.attenuation, sizeof l.attenuation);
    }
    gl_.Uniform1iv(p.lightOn, MaxLights, on);
    gl_.Uniform4fv(p.lightPosition, MaxLights, position);
    gl_.Uniform3fv(p.lightDiffuse, MaxLights, diffuse);
    gl_.Uniform3fv(p.lightAttenuation, MaxLights, attenuation);
    gl_.Uniform4fv(p.materialDiffuse, 1, state_.materialDiffuse);
    gl_.Uniform3fv(p.sceneAmbient, 1, SceneAmbient);
}

// ---- Stored drawings ----

GLuint Gles2Renderer::newStored()
{
    const GLuint id = nextStored_++;
    stored_[id] = Stored();
    return id;
}

void Gles2Renderer::beginStoring(GLuint stored)
{
    auto found = stored_.find(stored);
    if (found == stored_.end())
        return;
    storing_ = &found->second;
    storing_->ops.clear();
    storing_->vertices.clear();
    storedAttributes_ = Attributes();
    storedOwn_ = 0;
}

void Gles2Renderer::endStoring()
{
    if (!storing_)
        return;
    Stored& s = *storing_;
    storing_ = nullptr;
    if (s.vertices.empty())
        return;
    if (!s.buffer)
        gl_.GenBuffers(1, &s.buffer);
    gl_.BindBuffer(GL_ARRAY_BUFFER, s.buffer);
    gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.vertices.size() * sizeof(Vertex)), s.vertices.data(),
                   GL_STATIC_DRAW);
}

void Gles2Renderer::drawStored(GLuint stored)
{
    auto found = stored_.find(stored);
    if (storing_ || found == stored_.end())
        return;
    const Stored& s = found->second;
    for (const Op& op : s.ops) {
        if (op.kind != Op::Draw) {
            apply(op);
            continue;
        }
        draw(op.a, s.buffer, op.first, op.count, op.ownAttributes);
        // What the drawing's own calls set last stays current after it, as after a batch.
        const Attributes& last = s.vertices[op.first + op.count - 1].attributes;
        Attributes& current = state_.current;
        if (op.ownAttributes & ColourBit)
            std::memcpy(current.colour, last.colour, sizeof current.colour);
        if (op.ownAttributes & NormalBit)
            std::memcpy(current.normal, last.normal, sizeof current.normal);
        if (op.ownAttributes & TexCoord0Bit)
            std::memcpy(current.texCoord[0], last.texCoord[0], sizeof current.texCoord[0]);
        if (op.ownAttributes & TexCoord1Bit)
            std::memcpy(current.texCoord[1], last.texCoord[1], sizeof current.texCoord[1]);
    }
}

void Gles2Renderer::deleteStored(GLuint stored)
{
    auto found = stored_.find(stored);
    if (found == stored_.end())
        return;
    if (found->second.buffer)
        gl_.DeleteBuffers(1, &found->second.buffer);
    if (storing_ == &found->second)
        storing_ = nullptr;
    stored_.erase(found);
}

void Gles2Renderer::readPixels(int x, int y, int width, int height, void* rgba)
{
    gl_.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

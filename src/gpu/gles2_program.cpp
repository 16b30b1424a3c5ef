#include "gpu/gles2_program.h"

#include <vector>

namespace {

// Positions go through the combined matrix, as the fixed-function pipeline transforms them;
// lighting and sphere maps work in eye space. The lit colour is the material's ambient
// under the scene's ambient plus each light's attenuated diffuse term; lights keep OpenGL's
// defaults for everything the show does not set (no ambient or specular, no spot cone).
// LIGHTING, set for the programs that light, is one of the switches BuildGles2Program
// defines: a program per combination keeps the software rasteriser from paying for what a
// draw does not use.
const char* const vertexSource = R"(
attribute vec3 aPosition;
attribute vec3 aNormal;
attribute vec4 aColour;
attribute vec2 aTexCoord0;
attribute vec2 aTexCoord1;
uniform mat4 uModelViewProjection;
uniform mat4 uModelView;
uniform mat3 uNormalMatrix;
uniform bool uNormalize;
uniform bool uLightOn[8];
uniform vec4 uLightPosition[8];
uniform vec3 uLightDiffuse[8];
uniform vec3 uLightAttenuation[8];
uniform vec4 uMaterialDiffuse;
uniform vec3 uSceneAmbient;
uniform bool uSphereMap[2];
varying vec4 vColour;
varying vec2 vTexCoord0;
varying vec2 vTexCoord1;

vec4 litColour(vec3 eye, vec3 normal)
{
    vec3 colour = uSceneAmbient;
    for (int i = 0; i < 8; ++i) {
        if (!uLightOn[i])
            continue;
        vec4 light = uLightPosition[i];
        vec3 toLight;
        float attenuation = 1.0;
        if (light.w != 0.0) {
            toLight = light.xyz - eye;
            float d = length(toLight);
            toLight = toLight / d;
            vec3 k = uLightAttenuation[i];
            attenuation = 1.0 / (k.x + k.y * d + k.z * d * d);
        } else {
            toLight = normalize(light.xyz);
        }
        colour += attenuation * max(dot(normal, toLight), 0.0) * uLightDiffuse[i] * uMaterialDiffuse.rgb;
    }
    return vec4(clamp(colour, 0.0, 1.0), uMaterialDiffuse.a);
}

vec2 sphereMap(vec3 eye, vec3 normal)
{
    vec3 u = normalize(eye);
    vec3 r = u - 2.0 * normal * dot(normal, u);
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
    return vec2(r.x / m + 0.5, r.y / m + 0.5);
}

void main()
{
    vec3 eye = (uModelView * vec4(aPosition, 1.0)).xyz;
    vec3 normal = uNormalMatrix * aNormal;
    if (uNormalize)
        normal = normalize(normal);
#ifdef LIGHTING
    vColour = litColour(eye, normal);
#else
    vColour = clamp(aColour, 0.0, 1.0);
#endif
    vTexCoord0 = uSphereMap[0] ? sphereMap(eye, normal) : aTexCoord0;
    vTexCoord1 = uSphereMap[1] ? sphereMap(eye, normal) : aTexCoord1;
    gl_Position = uModelViewProjection * vec4(aPosition, 1.0);
}
)";

// Each textured unit (TEXTURE0, TEXTURE1) modulates what the one before it left, by the
// texture's kind: 0 colour and alpha, 1 colour only (a texture stored without alpha), 2
// alpha only. A unit with REPEAT0 or REPEAT1 holds a texture that repeats but whose sides
// are not powers of two, which ES 2.0 samples only clamped: it is read texel by texel (size
// in uRepeat.xy) and wrapped and filtered here (bilinear when uRepeat.z is 1, else
// nearest), as OpenGL does it.
const char* const fragmentSource = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D uTexture0;
uniform sampler2D uTexture1;
uniform int uTextureFormat[2];
uniform vec4 uRepeat[2];
varying vec4 vColour;
varying vec2 vTexCoord0;
varying vec2 vTexCoord1;

vec4 wrappedTexel(sampler2D image, vec2 at, vec2 size)
{
    return texture2D(image, (mod(at, size) + 0.5) / size);
}

vec4 repeated(sampler2D image, vec2 coordinates, vec4 repeat)
{
    vec2 size = repeat.xy;
    if (repeat.z == 0.0)
        return wrappedTexel(image, floor(coordinates * size), size);
    vec2 at = coordinates * size - 0.5;
    vec2 low = floor(at);
    vec2 f = at - low;
    vec4 bottom = mix(wrappedTexel(image, low, size), wrappedTexel(image, low + vec2(1.0, 0.0), size), f.x);
    vec4 top = mix(wrappedTexel(image, low + vec2(0.0, 1.0), size), wrappedTexel(image, low + vec2(1.0, 1.0), size),
                   f.x);
    return mix(bottom, top, f.y);
}

vec4 modulate(vec4 colour, vec4 texel, int format)
{
    if (format == 1)
        return vec4(colour.rgb * texel.rgb, colour.a);
    if (format == 2)
        return vec4(colour.rgb, colour.a * texel.a);
    return colour * texel;
}

void main()
{
    vec4 colour = vColour;
#ifdef TEXTURE0
#ifdef REPEAT0
    colour = modulate(colour, repeated(uTexture0, vTexCoord0, uRepeat[0]), uTextureFormat[0]);
#else
    colour = modulate(colour, texture2D(uTexture0, vTexCoord0), uTextureFormat[0]);
#endif
#endif
#ifdef TEXTURE1
#ifdef REPEAT1
    colour = modulate(colour, repeated(uTexture1, vTexCoord1, uRepeat[1]), uTextureFormat[1]);
#else
    colour = modulate(colour, texture2D(uTexture1, vTexCoord1), uTextureFormat[1]);
#endif
#endif
    gl_FragColor = colour;
}
)";

std::string shaderLog(const Gles2Api& gl, GLuint shader)
{
    GLint length = 0;
    gl.GetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    gl.GetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log.data();
}

std::string programLog(const Gles2Api& gl, GLuint program)
{
    GLint length = 0;
    gl.GetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    gl.GetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log.data();
}

// A compiled shader of kind, or 0 with error naming it and the driver's log. The source
// follows the language version and the switches of features.
GLuint compile(const Gles2Api& gl, GLenum kind, const char* source, unsigned features, const char* name,
               std::string& error)
{
    std::string text = "#version 100\n";
    static const char* const switches[] = {"LIGHTING", "TEXTURE0", "TEXTURE1", "REPEAT0", "REPEAT1"};
    for (unsigned bit = 0; bit < sizeof switches / sizeof switches[0]; ++bit)
        if (features & (1u << bit))
            text += std::string("#define ") + switches[bit] + "\n";
    text += source;
    const char* full = text.c_str();
    GLuint shader = gl.CreateShader(kind);
    gl.ShaderSource(shader, 1, &full, nullptr);
    gl.CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return shader;
    error = std::string("the gles2 renderer's ") + name + " shader does not compile: " + shaderLog(gl, shader);
    gl.DeleteShader(shader);
    return 0;
}

} // namespace

Gles2ShaderSources FixedFunctionShaders()
{
    return Gles2ShaderSources{vertexSource, fragmentSource};
}

bool BuildGles2Program(const Gles2Api& gl, const Gles2ShaderSources& sources, unsigned features,
                       Gles2Program& program, std::string& error)
{
    GLuint vertex = compile(gl, GL_VERTEX_SHADER, sources.vertex, features, "vertex", error);
    if (!vertex)
        return false;
    GLuint fragment = compile(gl, GL_FRAGMENT_SHADER, sources.fragment, features, "fragment", error);
    if (!fragment) {
        gl.DeleteShader(vertex);
        return false;
    }
    GLuint linked = gl.CreateProgram();
    gl.AttachShader(linked, vertex);
    gl.AttachShader(linked, fragment);
    gl.BindAttribLocation(linked, AttributePosition, "aPosition");
    gl.BindAttribLocation(linked, AttributeNormal, "aNormal");
    gl.BindAttribLocation(linked, AttributeColour, "aColour");
    gl.BindAttribLocation(linked, AttributeTexCoord0, "aTexCoord0");
    gl.BindAttribLocation(linked, AttributeTexCoord1, "aTexCoord1");
    gl.LinkProgram(linked);
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    GLint ok = GL_FALSE;
    gl.GetProgramiv(linked, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        error = "the gles2 renderer's shader program does not link: " + programLog(gl, linked);
        gl.DeleteProgram(linked);
        return false;
    }
    program.program = linked;
    auto at = [&gl, linked](const char* name) { return gl.GetUniformLocation(linked, name); };
    program.modelViewProjection = at("uModelViewProjection");
    program.modelView = at("uModelView");
    program.normalMatrix = at("uNormalMatrix");
    program.normalize = at("uNormalize");
    program.lightOn = at("uLightOn");
    program.lightPosition = at("uLightPosition");
    program.lightDiffuse = at("uLightDiffuse");
    program.lightAttenuation = at("uLightAttenuation");
    program.materialDiffuse = at("uMaterialDiffuse");
    program.sceneAmbient = at("uSceneAmbient");
    program.sphereMap = at("uSphereMap");
    program.textureFormat = at("uTextureFormat");
    program.repeat = at("uRepeat");
    gl.UseProgram(linked);
    gl.Uniform1i(at("uTexture0"), 0);
    gl.Uniform1i(at("uTexture1"), 1);
    return true;
}

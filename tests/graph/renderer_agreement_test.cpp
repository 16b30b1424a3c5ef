// The two renderers draw the same pictures: every kind of drawing the show makes, drawn once
// by the gl renderer and once by the gles2 renderer under a context that offers exactly
// OpenGL ES 2.0, agrees within the reference frames' tolerance (at most 32 pixels differing
// by more than 3 % in a channel), and the gles2 renderer makes no call ES 2.0 refuses.
#include "draw_scene.h"

#include "gpu/renderer_gles2.h"
#include "gpu/viewport.h"
#include "image/screen_quad.h"
#include "image/screen_text.h"
#include "image/texture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

using namespace draw;

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int BandHeight = 180;

const Vector3 X(1, 0, 0);
const Vector3 Z(0, 0, 1);

// A w x h picture whose colour runs across it (alpha too, when it has one), so that
// coordinates, filtering and mipmaps all show in what is drawn with it.
GLuint gradient(const std::string& name, int w, int h, bool mipmaps, bool alpha = false)
{
    TexturePicture picture;
    picture.width = w;
    picture.height = h;
    picture.components = alpha ? 4 : 3;
    picture.format = alpha ? GL_RGBA : GL_RGB;
    picture.complete = true;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            picture.texels.push_back(static_cast<uint8_t>(255 * x / (w - 1)));
            picture.texels.push_back(static_cast<uint8_t>(255 * y / (h - 1)));
            picture.texels.push_back(static_cast<uint8_t>((x * 37 + y * 11) % 256));
            if (alpha)
                picture.texels.push_back(static_cast<uint8_t>((x / 4 + y / 4) % 2 ? 255 : 40));
        }
    const GLuint texture = CreateTexture(picture, mipmaps);
    TestTextures.store(name, texture);
    return texture;
}

// Every render mode under a light, in a turning hierarchy, with a morphing mesh and a
// translucent two-sided pane; lit is false for the same scene without its light.
std::unique_ptr<Scene> everyMode(bool lit)
{
    gradient("skin.jpg", 64, 32, true);
    gradient("chrome.jpg", 32, 32, true);
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -10, 0}, {0, 0, 0});
    NodeSpec rig = makeNode(NodeType::Transform, "rig");
    rig.rotation.keys = {{0, {1, 0, 0, 0}}, {20, {0.7071068f, 0, 0, 0.7071068f}}};
    rig.scale.keys = {{0, {1.5f, 1.0f, 0.5f}}};
    rig.add(square("lines", {-2, 0, 1}, X, Z, 0.5f, 0));
    rig.add(square("textured", {0, 0, 1}, X, Z, 0.7f, 1));
    rig.add(square("sphere", {2, 0, 1}, X, Z, 0.7f, 2));
    NodeSpec dual = square("dual", {0, 0, -1}, X, Z, 0.7f, 3);
    dual.morph.keys = {{0, dual.vertices}, {10, {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}}}};
    rig.add(dual);
    rig.add(square("glass", {0, -1, 0}, X, Z, 2.0f, 4, true));
    rig.add(square("late", {-2, 0, -1}, X, Z, 0.7f, 1));
    if (lit) {
        NodeSpec lamp = makeNode(NodeType::Light, "lamp", {0, -3, 2});
        lamp.colour = {1.0f, 0.8f, 0.6f};
        rig.add(lamp);
    }
    spec.nodes.push_back(rig);
    addEveryModeMaterials(spec, "chrome.jpg");
    return load(spec);
}

// A wall lit by nine coloured lights, some nested under a moved parent; the ninth has no effect.
std::unique_ptr<Scene> nineLights()
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -12, 0}, {0, 0, 0});
    spec.nodes.push_back(square("wall", {0, 0, 0}, X, Z, 4.0f));
    spec.materials.push_back(surface(1.0f));
    NodeSpec holder = makeNode(NodeType::Transform, "holder", {1, 0, 0});
    for (int i = 0; i < 9; ++i) {
        NodeSpec light = makeNode(NodeType::Light, "light" + std::to_string(i),
                                  {static_cast<float>(i % 3) * 1.5f - 1.5f, -1.0f - i * 0.3f, static_cast<float>(i / 3) - 1.0f});
        light.colour = {i % 2 ? 0.4f : 0.1f, i % 3 ? 0.3f : 0.05f, i % 4 ? 0.2f : 0.5f};
        (i < 4 ? spec.nodes : holder.children).push_back(light);
    }
    spec.nodes.push_back(holder);
    return load(spec);
}

// An 8 x 8 alpha atlas with one glyph, a box with a hole, for every character.
struct Atlas {
    TextureHandle texture;
    AtlasGlyph glyphs[AtlasCharCount];
};

Atlas boxAtlas()
{
    uint8_t alpha[64];
    for (int i = 0; i < 64; ++i)
        alpha[i] = (i % 8 == 0 || i % 8 == 7 || i / 8 == 0 || i / 8 == 7) ? 255 : (i % 3 ? 0 : 128);
    Atlas atlas;
    atlas.texture = UploadAlphaTexture(8, 8, alpha);
    for (AtlasGlyph& glyph : atlas.glyphs)
        glyph = AtlasGlyph{0, 0, 1, 1, 8, 8, 0, 8, 9};
    return atlas;
}

struct Case {
    const char* name;
    std::function<void()> draw;
};

const Case cases[] = {
    {"every mode, lit, over three frames",
     [] {
         auto scene = everyMode(true);
         for (float time : {0.0f, 4.5f, 12.0f})
             RenderSceneAt(*scene, time, Width, BandHeight);
     }},
    {"every mode, unlit and flat", [] { RenderSceneAt(*everyMode(false), 6.0f, Width, BandHeight); }},
    {"nine lights at twice their positions", [] { RenderSceneAt(*nineLights(), 0.0f, Width, BandHeight); }},
    {"background, then lines tinted by its texture",
     [] {
         const GLuint picture = gradient("back.jpg", 100, 60, false);
         ActiveRenderer().clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
         PushScreenProjection(Width, BandHeight);
         DrawBackgroundQuad(Width / 2.0f, BandHeight / 2.0f, Width / 2.0f, BandHeight / 2.0f, 0.6f, picture);
         PopScreenProjection();
         auto scene = everyMode(false);
         ActiveRenderer().clear(GL_DEPTH_BUFFER_BIT);
         scene->renderFrame(3.0f);
     }},
    {"overlay faded by the alpha the translucent pane left",
     [] {
         auto scene = everyMode(false);
         RenderSceneAt(*scene, 2.0f, Width, BandHeight);
         const GLuint overlay = gradient("over.png", 64, 64, true, true);
         PushScreenProjection(Width, BandHeight);
         DrawOverlayQuad(Width / 2.0f, BandHeight / 2.0f, Width / 3.0f, BandHeight / 3.0f, overlay);
         PopScreenProjection();
     }},
    {"the loading picture", [] { DrawScreenPicture(Width, Height, gradient("loading.jpg", 90, 70, false)); }},
    {"the 16:9 band of a 4:3 window",
     [] {
         auto scene = everyMode(true);
         InitGLState(Width, Height);
         ActiveRenderer().clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
         scene->renderFrame(8.0f);
     }},
    {"status-bar text, strips and waveform columns over a frame",
     [] {
         RenderSceneAt(*everyMode(true), 1.0f, Width, BandHeight);
         Atlas atlas = boxAtlas();
         float halves[200];
         for (int i = 0; i < 200; ++i)
             halves[i] = static_cast<float>(i % 37);
         const float strip[4] = {0.1f, 0.1f, 0.3f, 0.7f};
         const float wave[4] = {0.4f, 0.9f, 0.5f, 0.8f};
         const float ink[4] = {1.0f, 0.9f, 0.2f, 1.0f};
         BeginScreenText(Width, Height);
         DrawScreenStrip(0, 0, Width, 40, strip);
         DrawScreenColumns(60, 100, halves, 200, wave);
         DrawScreenText(atlas.texture.get(), atlas.glyphs, 10, 20, "part 1/8  00:06.544", ink);
         EndScreenText();
     }},
};

// Draws c in a fresh context of kind and returns its picture, checking that the drawing
// raised no error.
std::vector<uint8_t> drawWith(RendererKind kind, const Case& c)
{
    GlTestContext context(Width, Height, kind);
    if (!context.ok())
        return {};
    if (kind == RendererKind::Gles2) {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        EXPECT_EQ(std::string(version ? version : "").rfind("OpenGL ES 2.0", 0), 0u) << version;
    }
    Renderer& r = ActiveRenderer();
    EXPECT_EQ(r.kind(), kind);
    r.clearColor(0, 0, 0, 0);
    r.depthFunc(GL_LEQUAL);
    r.enable(GL_DEPTH_TEST);
    c.draw();
    EXPECT_EQ(r.takeError(), GLenum(GL_NO_ERROR)) << RendererName(kind);
    std::vector<uint8_t> pixels = context.readPixels();
    TestTextures.clear();
    return pixels;
}

class RendererAgreement : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Mesa offers its newest ES version unless told otherwise, and reads this once per
        // process, before the first context: the gles2 renderer must manage with exactly 2.0.
        setenv("MESA_GLES_VERSION_OVERRIDE", "2.0", 1);
    }
};

} // namespace

TEST_F(RendererAgreement, EveryDrawingLooksTheSameThroughBothRenderers)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> fixed = drawWith(RendererKind::Gl, c);
        const std::vector<uint8_t> shaded = drawWith(RendererKind::Gles2, c);
        if (fixed.empty() || shaded.empty())
            SKIP_FOR_MISSING("no off-screen OpenGL or OpenGL ES 2.0 context: " << SDL_GetError());
        ASSERT_EQ(fixed.size(), shaded.size());
        int over = 0;
        int largest = 0;
        size_t lit = 0;
        for (size_t p = 0; p < fixed.size(); p += 4) {
            int most = 0;
            for (size_t c = 0; c < 3; ++c)
                most = std::max(most, std::abs(fixed[p + c] - shaded[p + c]));
            over += most > 255 * 3 / 100;
            largest = std::max(largest, most);
            lit += fixed[p] + fixed[p + 1] + fixed[p + 2] > 0;
        }
        std::printf("[ renderers ] %-55s largest difference %3d/255, %d pixels over 3 %%\n", c.name, largest, over);
        EXPECT_LE(over, 32);
        EXPECT_GT(lit, fixed.size() / 4 / 100) << "the case draws too little to compare";
    }
}

TEST_F(RendererAgreement, AShaderThatFailsNamesItselfAndTheDriversLog)
{
    GlTestContext context(64, 64, RendererKind::Gles2);
    REQUIRE_GL(context);
    const Gles2ShaderSources working = FixedFunctionShaders();
    const struct {
        Gles2ShaderSources sources;
        const char* expected;
    } broken[] = {
        {{"void main() { gl_Position = undefinedThing; }\n", working.fragment},
         "the gles2 renderer's vertex shader does not compile: "},
        {{working.vertex, "void main() { gl_FragColor = vec3(1.0); }\n"},
         "the gles2 renderer's fragment shader does not compile: "},
        {{working.vertex, "precision mediump float;\nvarying vec3 vMissing;\n"
                          "void main() { gl_FragColor = vec4(vMissing, 1.0); }\n"},
         "the gles2 renderer's shader program does not link: "},
    };
    for (const auto& b : broken) {
        std::string error;
        EXPECT_EQ(Gles2Renderer::create(error, b.sources), nullptr);
        EXPECT_EQ(error.rfind(b.expected, 0), 0u) << error;
        EXPECT_GT(error.size(), std::strlen(b.expected)) << "the driver's log is missing";
    }
}

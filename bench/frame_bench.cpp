// One frame of a scene with 100 000 triangles, drawn off-screen, split into evaluation (node
// tracks, and for morphing meshes the blended positions) and drawing (everything else up to
// glFinish). Static meshes replay display lists; morphing meshes send every corner each frame.
#include "common/registry.h"
#include "desktop/sdl_gl.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "graph/mesh_node.h"
#include "scene/scene.h"
#include "scene/scene_render.h"
#include "scene_writer.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// The textures the benchmark scene finds, by name.
Registry<GLuint> BenchTextures;

constexpr int bandWidth = 640;
constexpr int bandHeight = 360;
constexpr int meshCount = 10;
constexpr int cells = 50 * 100; // per mesh: two triangles each, 100 000 in all

// An off-screen window with a current compatibility context for the whole run.
struct OffscreenContext {
    OffscreenContext()
    {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return;
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow("frame bench", 0, 0, bandWidth, bandHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window)
            context = SDL_GL_CreateContext(window);
        if (!context)
            return;
        SDL_GL_MakeCurrent(window, context);
        std::string error;
        InstallRendererFor(RendererKind::Gl, error);
        LoadExtensions();
        glEnable(GL_TEXTURE_2D);
        glDepthFunc(GL_LEQUAL);
    }
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

OffscreenContext& offscreen()
{
    static OffscreenContext context;
    return context;
}

GLuint solidTexture(uint8_t r, uint8_t g, uint8_t b)
{
    const uint8_t texel[3] = {r, g, b};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    return name;
}

// A 101 x 51 vertex grid standing upright in front of the camera, one of four materials.
NodeSpec gridMesh(int index, bool morphing)
{
    constexpr int across = 100;
    constexpr int down = 50;
    NodeSpec mesh = makeNode(NodeType::Mesh, "grid" + std::to_string(index),
                             {static_cast<float>(index % 5) * 2.2f - 4.4f, 0, static_cast<float>(index / 5) * 2.2f - 1.1f});
    for (int z = 0; z <= down; ++z)
        for (int x = 0; x <= across; ++x)
            mesh.vertices.push_back({static_cast<float>(x) * 0.02f - 1.0f, 0, static_cast<float>(z) * 0.04f - 1.0f});
    GroupSpec group{index % 4, {}};
    for (int z = 0; z < down; ++z)
        for (int x = 0; x < across; ++x) {
            int32_t v = z * (across + 1) + x;
            float s = static_cast<float>(x) / across;
            float t = static_cast<float>(z) / down;
            group.faces.push_back(static_cast<int32_t>(mesh.faces.size()));
            mesh.faces.push_back({{{v, s, t}, {v + 1, s, t}, {v + across + 2, s, t}}});
            group.faces.push_back(static_cast<int32_t>(mesh.faces.size()));
            mesh.faces.push_back({{{v, s, t}, {v + across + 2, s, t}, {v + across + 1, s, t}}});
        }
    mesh.groups = {group};
    if (morphing) {
        MorphKeySpec flat{0, mesh.vertices};
        MorphKeySpec bent{30, mesh.vertices};
        for (Vector3& p : bent.positions)
            p.y = p.x * p.x;
        mesh.morph.keys = {flat, bent, MorphKeySpec{60, mesh.vertices}};
    }
    mesh.rotation.keys.push_back({60, Quaternion(0.9659258f, 0, 0, 0.258819f)});
    return mesh;
}

std::unique_ptr<Scene> frameScene(bool morphing)
{
    BenchTextures.store("skin.jpg", solidTexture(200, 150, 100));
    BenchTextures.store("chrome.jpg", solidTexture(120, 160, 200));
    SceneSpec spec;
    for (int i = 0; i < meshCount; ++i)
        spec.nodes.push_back(gridMesh(i, morphing));
    spec.nodes.push_back(makeNode(NodeType::Camera, "cam", {0, -12, 0}));
    spec.nodes.push_back(makeNode(NodeType::Target, "cam"));
    spec.nodes.push_back(makeNode(NodeType::Light, "lamp", {0, -5, 5}));
    spec.materials.resize(4);
    spec.materials[0].maps[1] = {1.0f, "skin.jpg"};
    spec.materials[1].maps[9] = {1.0f, "chrome.jpg"};
    spec.materials[2].maps[1] = {1.0f, "skin.jpg"};
    spec.materials[2].maps[9] = {1.0f, "chrome.jpg"};
    spec.materials[3].maps[1] = {0.5f, "skin.jpg"};
    std::string bytes = writeScene(spec);
    auto scene = std::make_unique<Scene>();
    scene->loadMemory(bytes.data(), bytes.size(), RegistryTextureLookup(BenchTextures));
    scene->upload();
    return scene;
}

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

void BM_Frame(benchmark::State& state)
{
    if (!offscreen().context) {
        state.SkipWithError("no off-screen OpenGL context");
        return;
    }
    bool morphing = state.range(0) != 0;
    std::unique_ptr<Scene> scene = frameScene(morphing);
    GrowableArray<MeshNode*> meshes;
    for (std::unique_ptr<Node>& child : scene->children)
        if (child->kind == NodeKind::Mesh)
            meshes.append(static_cast<MeshNode*>(child.get()));

    double evaluation = 0.0;
    double frame = 0.0;
    float time = 0.0f;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        scene->evaluateNodes(time);
        for (MeshNode* mesh : meshes)
            benchmark::DoNotOptimize(mesh->currentVertices().data());
        auto evaluated = std::chrono::steady_clock::now();
        RenderSceneAt(*scene, time, bandWidth, bandHeight);
        glFinish();
        auto drawn = std::chrono::steady_clock::now();
        evaluation += seconds(evaluated - start);
        frame += seconds(drawn - evaluated);
        time += 0.5f;
        if (time > 60.0f)
            time = 0.0f;
    }
    // The frame evaluates once more inside renderFrame; that share is taken off the drawing.
    double iterations = static_cast<double>(state.iterations());
    state.counters["evaluation_ms"] = evaluation * 1000.0 / iterations;
    state.counters["drawing_ms"] = (frame - evaluation) * 1000.0 / iterations;
    state.counters["triangles"] = static_cast<double>(meshCount * cells * 2);
    if (glGetError() != GL_NO_ERROR)
        state.SkipWithError("OpenGL reported an error");
    BenchTextures.clear();
}
BENCHMARK(BM_Frame)->Arg(0)->ArgName("morphing")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

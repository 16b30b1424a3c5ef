// Long lists and hostile names: a script of a million parts, a scene of three million
// sibling targets, and sibling names crafted to share one std::hash value beside random ones.
// Each load should stay linear: the parts within 2 s, the siblings within 5 s, and the crafted
// names about as fast as the random ones.
#include "colliding_names.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/desktop_platform.h"
#include "desktop/offscreen_context.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "gpu/gl_extensions.h"
#include "graph/camera_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int partCount = 1000000;
constexpr int siblingCount = 3000000;
constexpr int craftedCount = 31700;

// Writes a demo folder holding only a script of partCount parts, each naming a scene and a
// camera, and returns it. The names are one letter and the images left empty, so that a
// million parts fit in the largest script the player reads.
fs::path writePartsFolder()
{
    fs::path dir = fs::temp_directory_path() / ("taldrex-list-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "data");
    std::ofstream script(dir / "script.txt", std::ios::binary);
    for (int i = 0; i < partCount; ++i)
        script << "[part]\ns\n" << i % 10 << "\nc\n\n\n";
    return dir;
}

void BM_LoadScriptParts(benchmark::State& state)
{
    OffscreenContext context;
    if (!context.create("list bench", 64, 36, 0) || !LoadExtensions()) {
        state.SkipWithError("no off-screen OpenGL context");
        return;
    }
    ScreenWidth = 64;
    ScreenHeight = 36;
    NoSound = 1;
    const fs::path folder = writePartsFolder();
    DataFolder shown;
    std::string problem;
    shown.open(folder.string(), true, problem);
    int parts = 0;
    for (auto _ : state) {
        Show show(shown);
        SoundStream* stream = nullptr;
        show.LoadScript(Desktop(), stream);
        benchmark::DoNotOptimize(show.Timeline.data());
        parts = show.Timeline.size();
    }
    state.counters["parts"] = parts;
    if (parts != partCount)
        state.SkipWithError("the script was not read whole");
    fs::remove_all(folder);
}
BENCHMARK(BM_LoadScriptParts)->Unit(benchmark::kMillisecond)->Iterations(3);

// Appends the little-endian int32 v.
void putInt(std::string& bytes, int32_t v)
{
    char raw[4];
    std::memcpy(raw, &v, 4);
    bytes.append(raw, 4);
}

// A node body of the given type id as short as it can be: the name and empty tracks.
void putNode(std::string& bytes, int32_t typeId, const std::string& name)
{
    putInt(bytes, typeId);
    bytes += name;
    bytes += '\0';
    int tracks = typeId == 1 ? 3 : 1; // a camera has position, roll and field of view
    for (int t = 0; t < tracks; ++t) {
        putInt(bytes, 1);
        putInt(bytes, 0);
    }
    if (typeId == 1)
        putInt(bytes, -1); // visibility
    putInt(bytes, -1);     // no children
}

// The scene file of count sibling targets named by names (cycled), then a camera named like
// the last target, so that linking has a name to look up.
std::string siblingScene(int count, const std::vector<std::string>& names)
{
    std::string bytes;
    putInt(bytes, 0);
    putInt(bytes, 0);
    for (int i = 0; i < count; ++i)
        putNode(bytes, 2, names[static_cast<size_t>(i) % names.size()]);
    putNode(bytes, 1, names[static_cast<size_t>(count - 1) % names.size()]);
    putInt(bytes, -1);
    putInt(bytes, 0);
    putInt(bytes, 0);
    return bytes;
}

void loadScene(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        Scene scene;
        scene.loadMemory(bytes.data(), bytes.size());
        if (scene.reader->failed() || !scene.camera || !scene.camera->target)
            state.SkipWithError("the scene did not load and link");
        benchmark::DoNotOptimize(scene.camera);
    }
    state.counters["file_mb"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_LoadSiblingTargets(benchmark::State& state)
{
    static const std::string bytes = siblingScene(siblingCount, RandomNames(4096, 7));
    loadScene(state, bytes);
}
BENCHMARK(BM_LoadSiblingTargets)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LinkCraftedNames(benchmark::State& state)
{
    static const std::string bytes = siblingScene(craftedCount, CollidingNames(craftedCount, 1));
    loadScene(state, bytes);
}
BENCHMARK(BM_LinkCraftedNames)->Unit(benchmark::kMillisecond);

void BM_LinkRandomNames(benchmark::State& state)
{
    static const std::string bytes = siblingScene(craftedCount, RandomNames(craftedCount, 1));
    loadScene(state, bytes);
}
BENCHMARK(BM_LinkRandomNames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

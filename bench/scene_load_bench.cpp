// Loading a 50 MB mesh-heavy scene file, beside reading the same bytes with fread: the whole
// load (parsing, normals, groups, post-load passes) should stay within three times the read.
#include "scene/scene.h"
#include "scene_writer.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// Pages the process has been given since it started: each one the system zeroed and mapped
// on first touch.
long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Reports the fresh memory the timed loop touched, in MB per iteration.
void reportFreshMemory(benchmark::State& state, long faultsBefore)
{
    double pages = static_cast<double>(minorFaults() - faultsBefore) / static_cast<double>(state.iterations());
    state.counters["fresh_mb"] = pages * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

constexpr int meshCount = 7;
constexpr int gridSide = 245; // vertices per side of each mesh's grid
constexpr int morphKeys = 2;

// A grid of side x side vertices, two triangles per cell, two groups, a short morph.
NodeSpec gridMesh(int index)
{
    NodeSpec mesh = makeNode(NodeType::Mesh, "grid" + std::to_string(index));
    for (int y = 0; y < gridSide; ++y)
        for (int x = 0; x < gridSide; ++x)
            mesh.vertices.push_back({static_cast<float>(x), static_cast<float>(y),
                                     static_cast<float>((x * y + index) % 7) * 0.1f});
    mesh.groups = {{0, {}}, {1, {}}};
    for (int y = 0; y + 1 < gridSide; ++y)
        for (int x = 0; x + 1 < gridSide; ++x) {
            int32_t v = y * gridSide + x;
            int32_t face = static_cast<int32_t>(mesh.faces.size());
            mesh.faces.push_back({{{v, 0, 0}, {v + 1, 1, 0}, {v + gridSide, 0, 1}}});
            mesh.faces.push_back({{{v + 1, 1, 0}, {v + gridSide + 1, 1, 1}, {v + gridSide, 0, 1}}});
            mesh.groups[x % 2].faces.push_back(face);
            mesh.groups[x % 2].faces.push_back(face + 1);
        }
    for (int k = 0; k < morphKeys; ++k) {
        MorphKeySpec key;
        key.frame = k * 30;
        key.positions = mesh.vertices;
        for (Vector3& p : key.positions)
            p.z += static_cast<float>(k);
        mesh.morph.keys.push_back(std::move(key));
    }
    return mesh;
}

// Writes the scene once per run and returns its path.
const std::string& sceneFile()
{
    static const std::string path = [] {
        SceneSpec spec;
        for (int i = 0; i < meshCount; ++i)
            spec.nodes.push_back(gridMesh(i));
        spec.nodes.push_back(makeNode(NodeType::Camera, "cam"));
        spec.nodes.push_back(makeNode(NodeType::Target, "cam"));
        spec.materials.resize(2);
        std::string file = (std::filesystem::temp_directory_path() / "taldrex-load-bench.scn").string();
        if (!saveScene(spec, file))
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return file;
    }();
    return path;
}

void BM_FreadSceneBytes(benchmark::State& state)
{
    const std::string& path = sceneFile();
    size_t size = std::filesystem::file_size(path);
    std::vector<char> buffer(size);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        size_t got = std::fread(buffer.data(), 1, size, file);
        std::fclose(file);
        benchmark::DoNotOptimize(got);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FreadSceneBytes)->Unit(benchmark::kMillisecond);

// The same read into memory fresh from the system, as any program that loads a file pays it.
void BM_FreadSceneBytesFreshBuffer(benchmark::State& state)
{
    const std::string& path = sceneFile();
    size_t size = std::filesystem::file_size(path);
    long faults = minorFaults();
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[size]);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        size_t got = std::fread(buffer.get(), 1, size, file);
        std::fclose(file);
        benchmark::DoNotOptimize(got);
        benchmark::ClobberMemory();
    }
    reportFreshMemory(state, faults);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FreadSceneBytesFreshBuffer)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state)
{
    const std::string& path = sceneFile();
    size_t size = std::filesystem::file_size(path);
    long faults = minorFaults();
    for (auto _ : state) {
        auto scene = std::make_unique<Scene>();
        int result = scene->loadFile(path.c_str());
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        if (scene->reader->failed())
            state.SkipWithError("the generated scene did not load whole");
        scene.reset();
        state.ResumeTiming();
    }
    reportFreshMemory(state, faults);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

// The load with the allocator keeping freed memory for reuse, so that, like the fread into a
// reused buffer, it writes into memory already mapped: the loader's own work without the
// system's first-touch cost. Runs last, as the allocator setting stays for the process.
void BM_LoadFileWarmHeap(benchmark::State& state)
{
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    BM_LoadFile(state);
}
BENCHMARK(BM_LoadFileWarmHeap)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

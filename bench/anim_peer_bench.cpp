// Node evaluation of a generated clip, the workload bench/peer/anim_peer.mjs plays with
// three.js: 200 nodes, each with position, rotation and scale tracks of 50 keys, evaluated
// at 30 frames per second over 60 s of show time. `--write_keys=PATH` first writes the
// clip's keys as JSON, so that the peer animates exactly the same keys. The clip is also
// played with only its position and scale tracks and with only its rotation tracks, to
// show what each kind of track costs.
#include "scene/scene.h"
#include "scene_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int nodeCount = 200;
constexpr int keysPerTrack = 50;
constexpr int framesPerSecond = 30;
constexpr int seconds = 60;
// Demo time counts 30 frames per second, so 30 evaluations a second step one frame each.
constexpr int evaluations = framesPerSecond * seconds;
constexpr int lastKeyFrame = evaluations;

// Which of each node's tracks keep their keys.
enum class Tracks { All, Vectors, Rotations };

int tracksPerNode(Tracks tracks) { return tracks == Tracks::All ? 3 : tracks == Tracks::Vectors ? 2 : 1; }

// A small deterministic generator, so every run builds the same clip.
class Lcg {
public:
    float next() // uniform in [0, 1)
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<float>(state_ >> 40) / static_cast<float>(1ull << 24);
    }
    float between(float low, float high) { return low + (high - low) * next(); }

private:
    uint64_t state_ = 0x7a1d4e5ull;
};

Quaternion multiply(const Quaternion& a, const Quaternion& b)
{
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion normalised(const Quaternion& q)
{
    float n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

int keyFrame(int key) { return key * lastKeyFrame / (keysPerTrack - 1); }

// Positions wander, rotations turn by up to 60 degrees per key (neighbouring keys stay in
// one hemisphere, so both players take the same arc), scales breathe.
SceneSpec clip()
{
    Lcg random;
    SceneSpec described;
    for (int n = 0; n < nodeCount; ++n) {
        NodeSpec node;
        node.type = NodeType::Transform;
        node.name = "node" + std::to_string(n);
        Vector3 at(random.between(-10, 10), random.between(-10, 10), random.between(-10, 10));
        Quaternion turn(1, 0, 0, 0);
        for (int k = 0; k < keysPerTrack; ++k) {
            int frame = keyFrame(k);
            at = at + Vector3(random.between(-1, 1), random.between(-1, 1), random.between(-1, 1));
            node.position.keys.push_back({frame, at});
            float half = random.between(0.0f, 0.5236f);
            Vector3 axis(random.between(-1, 1), random.between(-1, 1), random.between(-1, 1) + 0.01f);
            float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
            float s = std::sin(half) / length;
            turn = normalised(multiply(turn, Quaternion(std::cos(half), axis.x * s, axis.y * s, axis.z * s)));
            node.rotation.keys.push_back({frame, turn});
            node.scale.keys.push_back(
                {frame, Vector3(random.between(0.5f, 1.5f), random.between(0.5f, 1.5f), random.between(0.5f, 1.5f))});
        }
        described.nodes.push_back(std::move(node));
    }
    return described;
}

void writeValues(std::FILE* out, const char* name, const std::vector<KeySpec<Vector3>>& keys)
{
    std::fprintf(out, "\"%s\":{\"frames\":[", name);
    for (size_t k = 0; k < keys.size(); ++k)
        std::fprintf(out, "%s%d", k ? "," : "", keys[k].frame);
    std::fprintf(out, "],\"values\":[");
    for (size_t k = 0; k < keys.size(); ++k)
        std::fprintf(out, "%s%.9g,%.9g,%.9g", k ? "," : "", keys[k].value.x, keys[k].value.y, keys[k].value.z);
    std::fprintf(out, "]}");
}

// The peer stores quaternions x, y, z, w.
void writeValues(std::FILE* out, const char* name, const std::vector<KeySpec<Quaternion>>& keys)
{
    std::fprintf(out, "\"%s\":{\"frames\":[", name);
    for (size_t k = 0; k < keys.size(); ++k)
        std::fprintf(out, "%s%d", k ? "," : "", keys[k].frame);
    std::fprintf(out, "],\"values\":[");
    for (size_t k = 0; k < keys.size(); ++k) {
        const Quaternion& q = keys[k].value;
        std::fprintf(out, "%s%.9g,%.9g,%.9g,%.9g", k ? "," : "", q.x, q.y, q.z, q.w);
    }
    std::fprintf(out, "]}");
}

bool writeKeys(const SceneSpec& described, const char* path)
{
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        return false;
    std::fprintf(out, "{\"framesPerSecond\":%d,\"evaluations\":%d,\"nodes\":[\n", framesPerSecond, evaluations);
    for (size_t n = 0; n < described.nodes.size(); ++n) {
        const NodeSpec& node = described.nodes[n];
        std::fprintf(out, "%s{\"name\":\"%s\",", n ? ",\n" : "", node.name.c_str());
        writeValues(out, "position", node.position.keys);
        std::fputc(',', out);
        writeValues(out, "rotation", node.rotation.keys);
        std::fputc(',', out);
        writeValues(out, "scale", node.scale.keys);
        std::fputc('}', out);
    }
    std::fprintf(out, "\n]}\n");
    return std::fclose(out) == 0;
}

std::unique_ptr<Scene> loadClip(Tracks tracks)
{
    SceneSpec described = clip();
    for (NodeSpec& node : described.nodes) {
        if (tracks == Tracks::Rotations) {
            node.position.keys.clear();
            node.scale.keys.clear();
        }
        if (tracks == Tracks::Vectors)
            node.rotation.keys.clear();
    }
    std::string bytes = writeScene(described);
    auto scene = std::make_unique<Scene>();
    scene->loadMemory(bytes.data(), bytes.size());
    return scene;
}

// One iteration plays the whole minute: every node evaluated 1800 times, as a frame does.
void BM_ClipNodeEvaluation(benchmark::State& state, Tracks tracks)
{
    std::unique_ptr<Scene> scene = loadClip(tracks);
    if (scene->reader->failed() || scene->children.size() != nodeCount) {
        state.SkipWithError("the generated clip did not load whole");
        return;
    }
    for (auto _ : state) {
        for (int k = 0; k < evaluations; ++k)
            scene->evaluateNodes(static_cast<float>(k));
        benchmark::DoNotOptimize(scene->children[nodeCount - 1]->matrix.m);
        benchmark::ClobberMemory();
    }
    state.counters["track_evaluations"] = static_cast<double>(nodeCount) * tracksPerNode(tracks) * evaluations;
}
BENCHMARK_CAPTURE(BM_ClipNodeEvaluation, all, Tracks::All)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClipNodeEvaluation, vectors, Tracks::Vectors)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClipNodeEvaluation, rotations, Tracks::Rotations)->Unit(benchmark::kMillisecond);

// Takes `--write_keys=PATH` off the command line; the rest is Google Benchmark's.
bool takeKeysOption(int& argc, char** argv)
{
    const char* prefix = "--write_keys=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) != 0)
            continue;
        const char* path = argv[i] + std::strlen(prefix);
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        if (!writeKeys(clip(), path)) {
            std::fprintf(stderr, "anim_peer_bench: %s: cannot write the keys\n", path);
            return false;
        }
        return true;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (!takeKeysOption(argc, argv))
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

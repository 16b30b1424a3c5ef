// Track evaluation cost at steadily increasing times, and morph blending throughput beside
// the memory-bandwidth bound of a loop that moves the same bytes.
#include <cmath>

#include <benchmark/benchmark.h>

#include "anim/morph_track.h"
#include "anim/rotation_track.h"
#include "anim/scalar_track.h"
#include "anim/vector_track.h"

namespace {

constexpr int keyCount = 100;
constexpr int keySpacing = 10;
// Small steps through the key range, so the cursor mostly stays put or moves by one key.
constexpr float timeStep = 0.37f;
constexpr float lastFrame = static_cast<float>((keyCount - 1) * keySpacing);

float advance(float time)
{
    time += timeStep;
    return time < lastFrame ? time : 0.0f;
}

void BM_ScalarTrack(benchmark::State& state)
{
    ScalarTrack track;
    for (int i = 0; i < keyCount; ++i)
        track.addKey(i * keySpacing, std::sin(static_cast<float>(i)));
    track.prepare();
    float time = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(track.evaluate(time));
        time = advance(time);
    }
}
BENCHMARK(BM_ScalarTrack);

void BM_VectorTrack(benchmark::State& state)
{
    VectorTrack track;
    for (int i = 0; i < keyCount; ++i) {
        float f = static_cast<float>(i);
        track.addKey(i * keySpacing, Vector3(std::sin(f), std::cos(f), f));
    }
    track.prepare();
    float time = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(track.evaluate(time));
        time = advance(time);
    }
}
BENCHMARK(BM_VectorTrack);

void BM_RotationTrack(benchmark::State& state)
{
    RotationTrack track;
    for (int i = 0; i < keyCount; ++i) {
        float half = 0.2f * static_cast<float>(i);
        float n = 1.0f / std::sqrt(3.0f);
        track.addKey(i * keySpacing, Quaternion(std::cos(half), n * std::sin(half),
                                                n * std::sin(half), n * std::sin(half)));
    }
    track.prepare();
    float time = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(track.evaluate(time));
        time = advance(time);
    }
}
BENCHMARK(BM_RotationTrack);

void buildMorph(MorphTrack& track, int vertices)
{
    track.keys.setSize(3);
    for (int i = 0; i < 3; ++i) {
        MorphKey& key = track.keys[i];
        key.frame = i * 30;
        key.positions.setSize(vertices);
        for (int j = 0; j < vertices; ++j) {
            float f = static_cast<float>(j + i);
            key.positions[j] = Vector3(std::sin(f), std::cos(f), f * 0.001f);
        }
    }
    track.prepare();
}

void BM_MorphBlend(benchmark::State& state)
{
    int vertices = static_cast<int>(state.range(0));
    MorphTrack track;
    buildMorph(track, vertices);
    Vector3Array rest;
    float time = 1.0f;
    for (auto _ : state) {
        const Vector3Array& result = track.evaluate(time, rest);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
        time = time < 28.0f ? time + 0.5f : 1.0f; // stays inside the first segment
    }
    state.SetItemsProcessed(state.iterations() * vertices);
    state.SetBytesProcessed(state.iterations() * vertices * 5 * static_cast<int64_t>(sizeof(Vector3)));
}
BENCHMARK(BM_MorphBlend)->Arg(10000)->Arg(100000)->Arg(1000000);

// The bound: read the same four arrays, write one, with no arithmetic to speak of.
void BM_MorphBandwidthBound(benchmark::State& state)
{
    int vertices = static_cast<int>(state.range(0));
    MorphTrack track;
    buildMorph(track, vertices);
    const Vector3* p0 = track.keys[0].positions.data();
    const Vector3* t0 = track.keys[0].outTangents.data();
    const Vector3* p1 = track.keys[1].positions.data();
    const Vector3* t1 = track.keys[1].inTangents.data();
    Vector3* out = track.output.data();
    for (auto _ : state) {
        for (int j = 0; j < vertices; ++j) {
            out[j].x = p0[j].x + t0[j].x + p1[j].x + t1[j].x;
            out[j].y = p0[j].y + t0[j].y + p1[j].y + t1[j].y;
            out[j].z = p0[j].z + t0[j].z + p1[j].z + t1[j].z;
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * vertices);
    state.SetBytesProcessed(state.iterations() * vertices * 5 * static_cast<int64_t>(sizeof(Vector3)));
}
BENCHMARK(BM_MorphBandwidthBound)->Arg(10000)->Arg(100000)->Arg(1000000);

} // namespace

BENCHMARK_MAIN();

// Per-frame evaluation must not allocate: this program counts every global allocation.
#include <cmath>
#include <gtest/gtest.h>

#include "support/allocation_counter.h"

#include "anim/morph_track.h"
#include "anim/rotation_track.h"
#include "anim/scalar_track.h"
#include "anim/vector_track.h"
#include "anim/visibility_track.h"

namespace {

void fillMorphKey(MorphKey& key, int frame, int vertices, float offset)
{
    key.frame = frame;
    key.positions.setSize(vertices);
    for (int j = 0; j < vertices; ++j)
        key.positions[j] = Vector3(static_cast<float>(j), offset, offset * offset);
}

} // namespace

TEST(EvaluationAllocation, CounterSeesVertexArraysAndKeys)
{
    long before = AllocationCount();
    Vector3Array vertices;
    vertices.setSize(10);
    ScalarTrack track;
    track.addKey(0, 1.0f);
    EXPECT_GE(AllocationCount() - before, 3);
}

TEST(EvaluationAllocation, EvaluatingTracksAllocatesNothing)
{
    ScalarTrack scalar;
    VectorTrack vector;
    RotationTrack rotation;
    VisibilityTrack visibility;
    MorphTrack morph;
    for (int i = 0; i < 20; ++i) {
        float f = static_cast<float>(i);
        scalar.addKey(i * 10, f * f);
        vector.addKey(i * 10, Vector3(f, -f, 2 * f));
        rotation.addKey(i * 10, Quaternion(std::cos(f * 0.1f), 0, std::sin(f * 0.1f), 0));
        visibility.addKey(i * 10 + 5);
    }
    morph.keys.setSize(4);
    for (int i = 0; i < 4; ++i)
        fillMorphKey(morph.keys[i], i * 30, 500, static_cast<float>(i));
    scalar.prepare();
    vector.prepare();
    rotation.prepare();
    morph.prepare();
    Vector3Array rest;

    long before = AllocationCount();
    float sum = 0.0f;
    for (float time = -20.0f; time < 250.0f; time += 0.7f) {
        sum += scalar.evaluate(time);
        sum += vector.evaluate(time).x;
        sum += rotation.evaluate(time).w;
        sum += visibility.evaluate(time) ? 1.0f : 0.0f;
        sum += morph.evaluate(time, rest)[7].y;
    }
    // Jumps backwards walk the cursors the other way.
    for (float time = 250.0f; time > -20.0f; time -= 13.0f) {
        sum += scalar.evaluate(time) + vector.evaluate(time).y + rotation.evaluate(time).z;
        sum += morph.evaluate(time, rest)[3].z;
    }
    EXPECT_EQ(AllocationCount() - before, 0);
    EXPECT_EQ(morph.output.size(), 500);
    EXPECT_TRUE(std::isfinite(sum));
}

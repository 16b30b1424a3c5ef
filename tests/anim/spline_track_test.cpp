#include <cmath>

#include <gtest/gtest.h>

#include "anim/scalar_track.h"
#include "anim/vector_track.h"
#include "common/scene_reader.h"
#include "support/record_bytes.h"

namespace {

// Keys (0, 0), (10, 10), (30, 0): uneven spacing around a peak.
void buildPeak(ScalarTrack& track)
{
    track.addKey(0, 0.0f);
    track.addKey(10, 10.0f);
    track.addKey(30, 0.0f);
    track.prepare();
}

} // namespace

TEST(ScalarTrack, UnevenlySpacedPeakGetsMirroredEndTangents)
{
    ScalarTrack track;
    buildPeak(track);
    EXPECT_FLOAT_EQ(track.keys[0]->outTangent, 15.0f);
    EXPECT_FLOAT_EQ(track.keys[1]->inTangent, 0.0f);
    EXPECT_FLOAT_EQ(track.keys[1]->outTangent, 0.0f);
    EXPECT_FLOAT_EQ(track.keys[2]->inTangent, -15.0f);
    EXPECT_FLOAT_EQ(track.evaluate(5.0f), 6.875f);
    EXPECT_FLOAT_EQ(track.evaluate(20.0f), 6.875f);
    // Ends untouched by prepare stay zero.
    EXPECT_EQ(track.keys[0]->inTangent, 0.0f);
    EXPECT_EQ(track.keys[2]->outTangent, 0.0f);
}

TEST(ScalarTrack, SpacingFactorsFollowTheNeighbouringSpans)
{
    // With d- = 10 and d+ = 30 the tangents expose the factors a_in = 1/3 and a_out = 2/3.
    ScalarTrack track;
    track.addKey(0, 0.0f);
    track.addKey(10, 10.0f);
    track.addKey(30, 40.0f);
    track.prepare();
    EXPECT_FLOAT_EQ(track.keys[1]->inTangent, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(track.keys[1]->outTangent, 80.0f / 3.0f);
}

TEST(ScalarTrack, ContinuityBlendsTheFactorAndSkewsTheTangents)
{
    ScalarTrack track;
    track.addKey(0, 0.0f);
    track.addKey(10, 10.0f).continuity = 0.5f;
    track.addKey(20, 30.0f);
    track.prepare();
    EXPECT_FLOAT_EQ(track.keys[1]->inTangent, 17.5f);
    EXPECT_FLOAT_EQ(track.keys[1]->outTangent, 12.5f);
}

TEST(ScalarTrack, BiasWeightsThePrecedingDifference)
{
    ScalarTrack track;
    track.addKey(0, 0.0f);
    track.addKey(10, 10.0f).bias = 1.0f;
    track.addKey(20, 30.0f);
    track.prepare();
    // (1 + B) doubles d- = 10 and (1 - B) removes d+ = 20; a = 0.5.
    EXPECT_FLOAT_EQ(track.keys[1]->inTangent, 10.0f);
    EXPECT_FLOAT_EQ(track.keys[1]->outTangent, 10.0f);
}

TEST(ScalarTrack, TensionOneFlattensBothTangents)
{
    ScalarTrack track;
    track.addKey(0, 0.0f).tension = 1.0f;
    track.addKey(10, 10.0f).tension = 1.0f;
    track.addKey(20, 30.0f).tension = 1.0f;
    track.prepare();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(track.keys[i]->inTangent, 0.0f);
        EXPECT_EQ(track.keys[i]->outTangent, 0.0f);
    }
    // Zero tangents ease in and out: halfway is the midpoint, a quarter of the way is not.
    EXPECT_FLOAT_EQ(track.evaluate(5.0f), 5.0f);
    EXPECT_FLOAT_EQ(track.evaluate(2.5f), 10.0f * 0.15625f);
}

TEST(ScalarTrack, KeyFramesHitValuesAndLastValueHolds)
{
    ScalarTrack track;
    buildPeak(track);
    EXPECT_FLOAT_EQ(track.evaluate(10.0f), 10.0f);
    EXPECT_EQ(track.cursor, 1);
    EXPECT_FLOAT_EQ(track.evaluate(30.0f), 0.0f);
    EXPECT_FLOAT_EQ(track.evaluate(1000.0f), 0.0f);
    EXPECT_EQ(track.cursor, 2);
}

TEST(ScalarTrack, BeforeTheFirstKeyTheFirstSegmentIsExtrapolated)
{
    ScalarTrack track;
    buildPeak(track);
    // t = -0.5 on the first segment: h1 = 0, h2 = -1.125, h3 = 1 (and I_1 = 0).
    EXPECT_FLOAT_EQ(track.evaluate(-5.0f), 15.0f * -1.125f + 10.0f);
}

TEST(ScalarTrack, JumpingBackRewalksTheCursorToTheSameValues)
{
    ScalarTrack walked;
    buildPeak(walked);
    EXPECT_FLOAT_EQ(walked.evaluate(50.0f), 0.0f);
    float back = walked.evaluate(10.0f);
    float earlier = walked.evaluate(4.0f);
    ScalarTrack fresh;
    buildPeak(fresh);
    EXPECT_EQ(back, fresh.evaluate(10.0f));
    ScalarTrack fresh2;
    buildPeak(fresh2);
    EXPECT_EQ(earlier, fresh2.evaluate(4.0f));
    EXPECT_EQ(walked.cursor, 0);
}

TEST(ScalarTrack, OneKeyIsConstantAndNoKeysGiveZero)
{
    ScalarTrack one;
    one.addKey(7, 3.5f);
    one.prepare();
    EXPECT_EQ(one.keys[0]->outTangent, 0.0f);
    EXPECT_EQ(one.evaluate(-100.0f), 3.5f);
    EXPECT_EQ(one.evaluate(100.0f), 3.5f);

    ScalarTrack none;
    none.prepare();
    EXPECT_EQ(none.evaluate(5.0f), 0.0f);
}

TEST(ScalarTrack, KeysOnOneFrameNeverDivideByZero)
{
    ScalarTrack track;
    track.addKey(10, 1.0f);
    track.addKey(10, 2.0f);
    track.addKey(10, 3.0f);
    track.prepare();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isfinite(track.keys[i]->inTangent));
        EXPECT_TRUE(std::isfinite(track.keys[i]->outTangent));
    }
    // Before the shared frame the zero-span segment gives its first key's value.
    EXPECT_EQ(track.evaluate(5.0f), 1.0f);
    EXPECT_EQ(track.evaluate(10.0f), 3.0f);
}

TEST(ScalarTrack, ExtremeFramesDoNotOverflow)
{
    ScalarTrack track;
    track.addKey(INT32_MIN, 0.0f);
    track.addKey(0, 1.0f);
    track.addKey(INT32_MAX, 0.0f);
    track.prepare();
    EXPECT_TRUE(std::isfinite(track.keys[1]->inTangent));
    EXPECT_GT(track.evaluate(-1e9f), 0.0f);
}

TEST(VectorTrack, TwoKeysWithoutTensionMoveEvenlyOnTheLine)
{
    VectorTrack track;
    track.addKey(0, Vector3(0, 0, 0));
    track.addKey(10, Vector3(10, -20, 30));
    track.prepare();
    EXPECT_EQ(track.keys[0]->outTangent, Vector3(10, -20, 30));
    EXPECT_EQ(track.keys[1]->inTangent, Vector3(10, -20, 30));
    for (float time : {0.0f, 2.5f, 5.0f, 7.5f}) {
        Vector3 v = track.evaluate(time);
        EXPECT_NEAR(v.x, time, 1e-4f);
        EXPECT_NEAR(v.y, -2.0f * time, 1e-4f);
        EXPECT_NEAR(v.z, 3.0f * time, 1e-4f);
    }
}

TEST(VectorTrack, ComponentsFollowTheScalarRulesAndEmptyGivesRestValue)
{
    VectorTrack track;
    track.addKey(0, Vector3(0, 0, 0));
    track.addKey(10, Vector3(10, 0, 10));
    track.addKey(30, Vector3(0, 0, 40));
    track.prepare();
    EXPECT_FLOAT_EQ(track.keys[1]->inTangent.z, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(track.keys[1]->outTangent.z, 80.0f / 3.0f);
    Vector3 v = track.evaluate(20.0f);
    EXPECT_FLOAT_EQ(v.x, 6.875f);
    EXPECT_EQ(v.y, 0.0f);

    VectorTrack scale(Vector3(1, 1, 1));
    EXPECT_EQ(scale.evaluate(3.0f), Vector3(1, 1, 1));
    VectorTrack position;
    EXPECT_EQ(position.evaluate(3.0f), Vector3(0, 0, 0));
}

TEST(VectorTrack, HermiteVectorWeightsPointsAndTangents)
{
    Vector3 p0(1, 2, 3), p1(5, 6, 7), t0(1, 0, 0), t1(0, 0, 2);
    EXPECT_EQ(hermiteVector(p0, p1, t0, t1, 0.0f), p0);
    EXPECT_EQ(hermiteVector(p0, p1, t0, t1, 1.0f), p1);
    Vector3 mid = hermiteVector(p0, p1, t0, t1, 0.5f);
    EXPECT_FLOAT_EQ(mid.x, 3.0f + 0.125f);
    EXPECT_FLOAT_EQ(mid.z, 5.0f - 0.25f);
}

TEST(SplineTrackRecord, ScalarRecordOfTwoKeysIsSixtyFourBytes)
{
    RecordBytes bytes;
    bytes.i32(77).i32(2);
    bytes.keyHeader(0, 0.25f, -0.5f, 0.75f, 1.0f, 2.0f).f32(4.0f);
    bytes.keyHeader(15).f32(-1.0f);
    bytes.i32(-1); // what follows the record
    ASSERT_EQ(bytes.size(), 68u);

    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    ScalarTrack track;
    track.read(reader);
    EXPECT_EQ(reader.offset(), 64u);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(track.headerWord, 77);
    ASSERT_EQ(track.keys.size(), 2);
    const ScalarKey& k = *track.keys[0];
    EXPECT_EQ(k.frame, 0);
    EXPECT_EQ(k.tension, 0.25f);
    EXPECT_EQ(k.continuity, -0.5f);
    EXPECT_EQ(k.bias, 0.75f);
    EXPECT_EQ(k.easeTo, 1.0f);
    EXPECT_EQ(k.easeFrom, 2.0f);
    EXPECT_EQ(k.value, 4.0f);
    EXPECT_EQ(track.keys[1]->frame, 15);
    EXPECT_EQ(track.keys[1]->value, -1.0f);
}

TEST(SplineTrackRecord, VectorKeyValueIsTwelveBytesXyz)
{
    RecordBytes bytes;
    bytes.i32(1).i32(1).keyHeader(3).f32(1.0f).f32(2.0f).f32(3.0f);
    ASSERT_EQ(bytes.size(), 8u + 36u);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    VectorTrack track;
    track.read(reader);
    EXPECT_FALSE(reader.failed());
    ASSERT_EQ(track.keys.size(), 1);
    EXPECT_EQ(track.keys[0]->value, Vector3(1, 2, 3));
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(SplineTrackRecord, NegativeOrHugeCountsReadNoKeys)
{
    RecordBytes negative;
    negative.i32(1).i32(-3).i32(42);
    SceneReader reader;
    reader.openMemory(negative.data(), negative.size());
    ScalarTrack track;
    track.read(reader);
    EXPECT_EQ(track.keys.size(), 0);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(reader.offset(), 8u);

    RecordBytes huge;
    huge.i32(1).i32(0x7fffffff).keyHeader(0).f32(1.0f);
    reader.openMemory(huge.data(), huge.size());
    ScalarTrack corrupt;
    corrupt.read(reader);
    EXPECT_EQ(corrupt.keys.size(), 0);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 4);
}

TEST(SplineTrackRecord, AfterAFailureTheTrackReadsNothing)
{
    RecordBytes bytes;
    bytes.i32(5);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    VectorTrack track;
    track.read(reader); // the count is missing
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(track.headerWord, 5);
    EXPECT_EQ(track.keys.size(), 0);
    EXPECT_EQ(track.evaluate(1.0f), Vector3());
}

#include <cmath>

#include <gtest/gtest.h>

#include "anim/morph_track.h"
#include "common/scene_reader.h"
#include "support/record_bytes.h"

namespace {

// Appends a key whose vertex j sits at (j, value, 0).
MorphKey& addKey(MorphTrack& track, int frame, float value, int vertices = 2)
{
    int i = track.keys.size();
    track.keys.setSize(i + 1);
    MorphKey& key = track.keys[i];
    key.frame = frame;
    key.positions.setSize(vertices);
    for (int j = 0; j < vertices; ++j)
        key.positions[j] = Vector3(static_cast<float>(j), value, 0.0f);
    return key;
}

RecordBytes morphKeyRecord(int frame, float tension, int vertices, float y)
{
    RecordBytes bytes;
    bytes.keyHeader(frame, tension, 0.25f, -0.25f, 1.0f, 2.0f).i32(vertices);
    for (int j = 0; j < vertices; ++j)
        bytes.f32(static_cast<float>(j)).f32(y).f32(-1.0f);
    return bytes;
}

} // namespace

TEST(MorphTrack, BothTangentsOfAnInnerKeyShareThePrecedingShare)
{
    // Frames 0, 10, 30 with y = 0, 10, 40: d- = 10, d+ = 30, factor 1/3 on both sides.
    MorphTrack track;
    addKey(track, 0, 0.0f);
    addKey(track, 10, 10.0f);
    addKey(track, 30, 40.0f);
    track.prepare();
    const MorphKey& k1 = track.keys[1];
    EXPECT_FLOAT_EQ(k1.inTangents[1].y, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(k1.outTangents[1].y, 40.0f / 3.0f);
    // The ends mirror their neighbours' tangents.
    EXPECT_FLOAT_EQ(track.keys[0].outTangents[0].y, 1.5f * 10.0f - 0.5f * 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(track.keys[2].inTangents[0].y, 1.5f * 30.0f - 0.5f * 40.0f / 3.0f);
    EXPECT_EQ(track.keys[0].inTangents.size(), 0);
    EXPECT_EQ(track.keys[2].outTangents.size(), 0);
    // x never changes between keys: its tangents stay zero.
    EXPECT_EQ(k1.outTangents[1].x, 0.0f);
}

TEST(MorphTrack, TwoKeysMoveEveryVertexEvenlyAlongItsLine)
{
    MorphTrack track;
    addKey(track, 0, 0.0f, 3);
    addKey(track, 20, 8.0f, 3);
    track.prepare();
    EXPECT_EQ(track.keys[0].outTangents[2], Vector3(0, 8, 0));
    EXPECT_EQ(track.keys[1].inTangents[2], Vector3(0, 8, 0));
    Vector3Array rest;
    for (float time : {0.0f, 5.0f, 10.0f, 15.0f}) {
        const Vector3Array& v = track.evaluate(time, rest);
        EXPECT_EQ(&v, &track.output);
        EXPECT_NEAR(v[2].y, time * 0.4f, 1e-5f);
        EXPECT_NEAR(v[2].x, 2.0f, 1e-5f);
    }
}

TEST(MorphTrack, TensionOneRestsTheShapeAtItsKey)
{
    MorphTrack track;
    addKey(track, 0, 0.0f);
    addKey(track, 10, 10.0f).tension = 1.0f;
    addKey(track, 20, 0.0f);
    track.prepare();
    EXPECT_EQ(track.keys[1].inTangents[0], Vector3());
    EXPECT_EQ(track.keys[1].outTangents[0], Vector3());
    Vector3Array rest;
    // Arriving with zero speed: a tenth of a frame early the gap is tiny (quadratic), where a
    // moving shape would still be about a tenth of a unit away.
    float justBefore = track.evaluate(9.9f, rest)[0].y;
    EXPECT_NEAR(justBefore, 10.0f, 2e-3f);
}

TEST(MorphTrack, ClampsToKeyPositionsAndExtrapolatesBeforeTheFirst)
{
    MorphTrack track;
    addKey(track, 0, 0.0f);
    addKey(track, 10, 10.0f);
    track.prepare();
    Vector3Array rest;
    EXPECT_EQ(&track.evaluate(10.0f, rest), &track.keys[1].positions);
    EXPECT_EQ(&track.evaluate(500.0f, rest), &track.keys[1].positions);
    EXPECT_NEAR(track.evaluate(-5.0f, rest)[1].y, -5.0f, 1e-5f);
    // Back and forth gives what a fresh track gives.
    float again = track.evaluate(3.0f, rest)[1].y;
    EXPECT_NEAR(again, 3.0f, 1e-5f);
}

TEST(MorphTrack, OneKeyOrNoneNeverBlends)
{
    MorphTrack one;
    addKey(one, 5, 1.0f);
    one.prepare();
    EXPECT_EQ(one.keys[0].outTangents.size(), 0);
    Vector3Array rest;
    EXPECT_EQ(&one.evaluate(0.0f, rest), &one.keys[0].positions);
    EXPECT_EQ(&one.evaluate(50.0f, rest), &one.keys[0].positions);

    MorphTrack none;
    none.prepare();
    rest.setSize(4);
    EXPECT_EQ(&none.evaluate(3.0f, rest), &rest);
    EXPECT_TRUE(none.fits(4));
}

TEST(MorphTrack, DifferingVertexCountsStayInBounds)
{
    MorphTrack track;
    addKey(track, 0, 0.0f, 5);
    addKey(track, 10, 10.0f, 2);
    addKey(track, 20, 0.0f, 5);
    EXPECT_FALSE(track.fits(5));
    EXPECT_FALSE(track.fits(2));
    track.prepare();
    EXPECT_EQ(track.keys[1].inTangents.size(), 2);
    Vector3Array rest;
    const Vector3Array& v = track.evaluate(5.0f, rest);
    EXPECT_EQ(v.size(), 5);
    EXPECT_TRUE(std::isfinite(v[1].y));
}

TEST(MorphTrack, KeysOnOneFrameStayFinite)
{
    MorphTrack track;
    addKey(track, 10, 0.0f);
    addKey(track, 10, 5.0f);
    addKey(track, 10, 9.0f);
    track.prepare();
    Vector3Array rest;
    EXPECT_TRUE(std::isfinite(track.keys[1].outTangents[0].y));
    EXPECT_EQ(track.evaluate(0.0f, rest)[1].y, 0.0f);
}

TEST(MorphTrackRecord, ReadsKeysAndSizesTheOutputOnce)
{
    RecordBytes bytes;
    bytes.i32(9).i32(2);
    RecordBytes k0 = morphKeyRecord(0, 0.5f, 3, 1.0f);
    RecordBytes k1 = morphKeyRecord(30, 0.0f, 3, 2.0f);
    ASSERT_EQ(k0.size(), 28u + 36u);
    bytes.raw(k0.data(), k0.size()).raw(k1.data(), k1.size()).i32(-1);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    MorphTrack track;
    track.read(reader);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(reader.remaining(), 4u);
    EXPECT_EQ(track.headerWord, 9);
    ASSERT_EQ(track.keys.size(), 2);
    const MorphKey& key = track.keys[0];
    EXPECT_EQ(key.tension, 0.5f);
    EXPECT_EQ(key.continuity, 0.25f);
    EXPECT_EQ(key.bias, -0.25f);
    EXPECT_EQ(key.easeTo, 1.0f);
    EXPECT_EQ(key.easeFrom, 2.0f);
    EXPECT_EQ(track.keys[1].frame, 30);
    EXPECT_EQ(track.keys[1].positions[2], Vector3(2, 2, -1));
    EXPECT_EQ(track.output.size(), 3);
    EXPECT_TRUE(track.fits(3));
}

TEST(MorphTrackRecord, StaticMeshReadsEightBytesAndOneKeyNoOutput)
{
    RecordBytes empty;
    empty.i32(1).i32(0).i32(77);
    SceneReader reader;
    reader.openMemory(empty.data(), empty.size());
    MorphTrack none;
    none.read(reader);
    EXPECT_EQ(reader.offset(), 8u);
    EXPECT_EQ(none.keys.size(), 0);

    RecordBytes single;
    single.i32(1).i32(1);
    RecordBytes k = morphKeyRecord(0, 0.0f, 2, 1.0f);
    single.raw(k.data(), k.size());
    reader.openMemory(single.data(), single.size());
    MorphTrack one;
    one.read(reader);
    EXPECT_EQ(one.keys.size(), 1);
    EXPECT_EQ(one.output.size(), 0);
}

TEST(MorphTrackRecord, CorruptCountsAllocateNothing)
{
    RecordBytes keys;
    keys.i32(1).i32(1000000).keyHeader(0);
    SceneReader reader;
    reader.openMemory(keys.data(), keys.size());
    MorphTrack track;
    track.read(reader);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(track.keys.size(), 0);

    RecordBytes vertices;
    vertices.i32(1).i32(1).keyHeader(0).i32(0x7FFFFFFF).f32(1).f32(2).f32(3);
    reader.openMemory(vertices.data(), vertices.size());
    MorphTrack hugeKey;
    hugeKey.read(reader);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 8 + 24);
    ASSERT_EQ(hugeKey.keys.size(), 1);
    EXPECT_EQ(hugeKey.keys[0].positions.size(), 0);
}

TEST(MorphTrackRecord, PositionsCutShortAreNotHeld)
{
    RecordBytes bytes;
    bytes.i32(1).i32(1);
    RecordBytes k = morphKeyRecord(0, 0.0f, 2, 7.0f);
    bytes.raw(k.data(), k.size() - 4);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    MorphTrack track;
    track.read(reader);
    // The count no longer fits the remaining bytes, so no positions are held at all.
    EXPECT_TRUE(reader.failed());
    ASSERT_EQ(track.keys.size(), 1);
    EXPECT_EQ(track.keys[0].positions.size(), 0);
}

#include <gtest/gtest.h>

#include "anim/visibility_track.h"
#include "common/scene_reader.h"
#include "support/record_bytes.h"

namespace {

void readTrack(VisibilityTrack& track, const RecordBytes& bytes, SceneReader& reader)
{
    reader.openMemory(bytes.data(), bytes.size());
    track.read(reader);
}

} // namespace

TEST(VisibilityTrack, TogglesAtEachKeyFrame)
{
    VisibilityTrack track;
    track.addKey(10);
    track.addKey(20);
    EXPECT_TRUE(track.evaluate(5.0f));
    EXPECT_FALSE(track.evaluate(15.0f));
    EXPECT_TRUE(track.evaluate(25.0f));
}

TEST(VisibilityTrack, SeveralTogglesInOneStep)
{
    VisibilityTrack track;
    track.addKey(10);
    track.addKey(20);
    track.addKey(30);
    EXPECT_FALSE(track.evaluate(12.0f));
    EXPECT_EQ(track.cursor, 1);
    EXPECT_FALSE(track.evaluate(35.0f)); // two toggles in one step
    EXPECT_EQ(track.cursor, 3);
    EXPECT_FALSE(track.evaluate(1000.0f));
    EXPECT_FALSE(track.evaluate(1000.0f)); // the same time again changes nothing
}

TEST(VisibilityTrack, AnEarlierTimeWalksAgainFromTheStart)
{
    VisibilityTrack track;
    track.addKey(0);
    track.addKey(10);
    track.addKey(20);
    EXPECT_FALSE(track.evaluate(25.0f));
    EXPECT_TRUE(track.evaluate(12.0f));
    EXPECT_FALSE(track.evaluate(5.0f));
    EXPECT_EQ(track.cursor, 1);
    // Before the first key: the starting state, visible.
    EXPECT_TRUE(track.evaluate(-3.0f));
    EXPECT_EQ(track.cursor, 0);
    EXPECT_FALSE(track.evaluate(0.0f));
}

TEST(VisibilityTrack, TheResultIsAFunctionOfTheTimeInAnyOrder)
{
    VisibilityTrack track;
    for (int frame : {0, 30, 45, 90, 91})
        track.addKey(frame);
    auto fresh = [](float time) {
        VisibilityTrack once;
        for (int frame : {0, 30, 45, 90, 91})
            once.addKey(frame);
        return once.evaluate(time);
    };
    // A pass, a loop back to 0 and a second pass, then jumps both ways.
    const float times[] = {0, 15, 30, 40, 50, 90, 90.5f, 95, 0, 15, 30, 50, 95, 44, 46, 91, 89, -1, 1000, 30};
    for (float time : times)
        EXPECT_EQ(track.evaluate(time), fresh(time)) << "at frame " << time;
}

TEST(VisibilityTrack, OneKeyOrNoneNeverToggles)
{
    RecordBytes single;
    single.hex({0x0A, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    SceneReader reader;
    VisibilityTrack one;
    readTrack(one, single, reader);
    ASSERT_EQ(one.keys.size(), 1);
    EXPECT_EQ(one.keys[0]->frame, 10);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_TRUE(one.evaluate(5.0f));
    EXPECT_TRUE(one.evaluate(15.0f));

    RecordBytes terminator;
    terminator.hex({0xFF, 0xFF, 0xFF, 0xFF});
    VisibilityTrack none;
    readTrack(none, terminator, reader);
    EXPECT_EQ(none.keys.size(), 0);
    EXPECT_TRUE(none.evaluate(100.0f));
    EXPECT_FALSE(reader.failed());
}

TEST(VisibilityTrack, ReadingStartsVisibleAndStopsAtTheTerminator)
{
    RecordBytes bytes;
    bytes.i32(0).i32(40).i32(-1).i32(99);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    VisibilityTrack track;
    track.visible = false;
    track.read(reader);
    EXPECT_TRUE(track.visible);
    ASSERT_EQ(track.keys.size(), 2);
    EXPECT_EQ(track.keys[1]->frame, 40);
    EXPECT_EQ(reader.offset(), 12u);
    // A key at frame 0 toggles at the very start.
    EXPECT_FALSE(track.evaluate(0.0f));
}

TEST(VisibilityTrack, TruncatedRunKeepsTheWholeFramesAndStartsVisible)
{
    RecordBytes bytes;
    bytes.i32(3).i32(6).hex({0x01, 0x02});
    SceneReader reader;
    VisibilityTrack track;
    readTrack(track, bytes, reader);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 8);
    EXPECT_EQ(track.keys.size(), 2);
    EXPECT_TRUE(track.visible);
}

TEST(VisibilityTrack, KeyReadsItsFrame)
{
    RecordBytes bytes;
    bytes.i32(123);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    VisibilityKey key;
    key.read(reader);
    EXPECT_EQ(key.frame, 123);
    key.read(reader);
    EXPECT_EQ(key.frame, 123);
    EXPECT_TRUE(reader.failed());
}

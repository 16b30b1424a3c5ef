#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/scene_reader.h"
#include "support/record_bytes.h"

namespace {

void openBytes(SceneReader& reader, const RecordBytes& bytes)
{
    reader.openMemory(bytes.data(), bytes.size());
}

} // namespace

TEST(SceneReader, ReadsLittleEndianValuesInOrder)
{
    RecordBytes bytes;
    bytes.hex({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F});
    bytes.str("Box01").hex({1, 2, 3});
    SceneReader reader;
    openBytes(reader, bytes);
    int32_t a = 0, b = 0;
    float f = 0;
    char name[128];
    unsigned char block[3] = {};
    EXPECT_TRUE(reader.readInt32(a));
    EXPECT_TRUE(reader.readInt32(b));
    EXPECT_TRUE(reader.readFloat32(f));
    EXPECT_TRUE(reader.readString(name, sizeof name));
    EXPECT_TRUE(reader.readBlock(block, 3));
    EXPECT_EQ(a, 0x12345678);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(f, 1.0f);
    EXPECT_STREQ(name, "Box01");
    EXPECT_EQ(block[2], 3);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), -1);
}

TEST(SceneReader, AShortReadSetsTheStickyFlagAndLeavesDestinations)
{
    RecordBytes bytes;
    bytes.i32(7).hex({0xAA, 0xBB});
    SceneReader reader;
    openBytes(reader, bytes);
    int32_t v = 0;
    EXPECT_TRUE(reader.readInt32(v));
    v = 99;
    EXPECT_FALSE(reader.readInt32(v));
    EXPECT_EQ(v, 99);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 4);
    // Nothing reads any more, not even what would still fit.
    unsigned char one = 0;
    EXPECT_FALSE(reader.readBlock(&one, 1));
    EXPECT_EQ(one, 0);
    char text[8] = "keep";
    EXPECT_FALSE(reader.readString(text, sizeof text));
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(reader.readCount(1), 0);
    EXPECT_EQ(reader.failedOffset(), 4);
}

TEST(SceneReader, OverlongStringIsTruncatedAndFullyConsumed)
{
    std::string longName(300, 'a');
    longName[126] = 'X';
    longName[127] = 'Y';
    RecordBytes bytes;
    bytes.str(longName).i32(42);
    SceneReader reader;
    openBytes(reader, bytes);
    char name[128];
    EXPECT_TRUE(reader.readString(name, sizeof name));
    EXPECT_EQ(std::string(name).size(), 127u);
    EXPECT_EQ(name[126], 'X');
    int32_t next = 0;
    EXPECT_TRUE(reader.readInt32(next));
    EXPECT_EQ(next, 42);

    // 127 bytes fit exactly; 299 bytes in the material buffers.
    RecordBytes exact;
    exact.str(std::string(127, 'b')).str(std::string(299, 'c')).str("");
    openBytes(reader, exact);
    EXPECT_TRUE(reader.readString(name, sizeof name));
    EXPECT_EQ(std::string(name), std::string(127, 'b'));
    char material[300];
    EXPECT_TRUE(reader.readString(material, sizeof material));
    EXPECT_EQ(std::string(material), std::string(299, 'c'));
    EXPECT_TRUE(reader.readString(material, sizeof material));
    EXPECT_STREQ(material, "");
    EXPECT_FALSE(reader.failed());
}

TEST(SceneReader, StringWithoutItsZeroByteFails)
{
    RecordBytes bytes;
    bytes.i32(0).hex({'a', 'b', 'c'});
    SceneReader reader;
    openBytes(reader, bytes);
    int32_t v;
    reader.readInt32(v);
    char text[16];
    EXPECT_FALSE(reader.readString(text, sizeof text));
    EXPECT_STREQ(text, "abc"); // always terminated within the buffer
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 4);
}

TEST(SceneReader, CountsThatCannotFitFailBeforeAnythingIsAllocated)
{
    RecordBytes bytes;
    bytes.i32(2).raw("0123456789abcdefghij", 20).i32(-5).i32(3).raw("0123456789ab", 12);
    SceneReader reader;
    openBytes(reader, bytes);
    EXPECT_EQ(reader.readCount(10), 2); // exactly fits
    reader.readItems(nullptr, 0, 0);
    char skip[20];
    reader.readBlock(skip, 20);
    EXPECT_EQ(reader.readCount(10), 0); // negative: 0, no failure
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(reader.readCount(5), 0); // 15 bytes in 12
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 28);

    RecordBytes huge;
    huge.i32(0x7FFFFFFF).i32(1);
    openBytes(reader, huge);
    EXPECT_FALSE(reader.failed()); // a fresh buffer starts clean
    EXPECT_EQ(reader.readCount(1u << 20), 0);
    EXPECT_TRUE(reader.failed());

    openBytes(reader, huge);
    int32_t count = 0;
    reader.readInt32(count);
    EXPECT_EQ(reader.checkCount(count, 12), 0);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 4);
}

TEST(SceneReader, ReadItemsKeepsTheWholeItemsOfATruncatedRun)
{
    RecordBytes bytes;
    bytes.f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(7);
    SceneReader reader;
    openBytes(reader, bytes);
    float xyz[9] = {0, 0, 0, 0, 0, 0, -1, -1, -1};
    EXPECT_FALSE(reader.readItems(xyz, 12, 3));
    EXPECT_EQ(xyz[5], 6.0f);
    EXPECT_EQ(xyz[6], -1.0f); // the partial third item is not stored
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 24);
}

TEST(SceneReader, StepBackRereadsAndStopsAtTheStart)
{
    RecordBytes bytes;
    bytes.i32(5).i32(6);
    SceneReader reader;
    openBytes(reader, bytes);
    int32_t v;
    reader.readInt32(v);
    reader.readInt32(v);
    reader.stepBack(4);
    reader.readInt32(v);
    EXPECT_EQ(v, 6);
    reader.stepBack(100);
    EXPECT_EQ(reader.offset(), 0u);
    reader.readInt32(v);
    EXPECT_EQ(v, 5);
}

TEST(SceneReader, FailMarksTheCurrentPosition)
{
    RecordBytes bytes;
    bytes.i32(5).i32(6);
    SceneReader reader;
    openBytes(reader, bytes);
    int32_t v;
    reader.readInt32(v);
    reader.fail();
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.failedOffset(), 4);
    EXPECT_FALSE(reader.readInt32(v));
    EXPECT_EQ(v, 5);
}

TEST(SceneReader, OpensFilesAndReportsMissingOnes)
{
    SceneReader missing;
    EXPECT_FALSE(missing.open("/nonexistent/scene.bin"));
    EXPECT_TRUE(missing.failed());
    int32_t v = 3;
    EXPECT_FALSE(missing.readInt32(v));
    EXPECT_EQ(v, 3);

    std::string path = std::string(TALDREX_BINARY_DIR) + "/scene_reader_test.bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    RecordBytes bytes;
    bytes.i32(11).str("cam");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    SceneReader reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    std::remove(path.c_str()); // the bytes are already held
    EXPECT_EQ(reader.size(), 8u);
    EXPECT_TRUE(reader.readInt32(v));
    EXPECT_EQ(v, 11);
    reader.close();
    char text[8];
    EXPECT_FALSE(reader.readString(text, sizeof text));
    EXPECT_EQ(reader.failedOffset(), 4);
}

TEST(SceneReader, StreamsLargeFilesAcrossBufferRefills)
{
    // Values straddle every refill boundary of the stream buffer: a string, a step back
    // right after a refill, item runs several buffers long and a truncated last item.
    const int32_t leading = 65535; // 262140 bytes, just short of a typical buffer size
    RecordBytes bytes;
    for (int32_t i = 0; i < leading; ++i)
        bytes.i32(i);
    bytes.str("straddling name").i32(7);
    const int32_t run = 399999; // 133333 whole 12-byte items
    for (int32_t i = 0; i < run; ++i)
        bytes.f32(static_cast<float>(i));
    bytes.hex({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}); // 11 bytes: not a whole 12-byte item

    std::string path = std::string(TALDREX_BINARY_DIR) + "/scene_reader_stream_test.bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    SceneReader reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    EXPECT_EQ(reader.size(), bytes.size());
    std::vector<int32_t> head(leading);
    ASSERT_TRUE(reader.readItems(head.data(), 4, leading));
    EXPECT_EQ(head[leading - 1], leading - 1);
    char name[8];
    ASSERT_TRUE(reader.readString(name, sizeof name));
    EXPECT_STREQ(name, "straddl");
    int32_t seven = 0;
    ASSERT_TRUE(reader.readInt32(seven));
    EXPECT_EQ(seven, 7);
    reader.stepBack(4);
    ASSERT_TRUE(reader.readInt32(seven));
    EXPECT_EQ(seven, 7);

    // The count check sees the whole file, not just the buffer.
    EXPECT_EQ(reader.checkCount(run / 3, 12), run / 3);
    std::vector<float> values(run + 3, -1.0f);
    EXPECT_FALSE(reader.readItems(values.data(), 12, run / 3 + 1));
    EXPECT_EQ(values[run - 1], static_cast<float>(run - 1));
    EXPECT_EQ(values[run], -1.0f);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(static_cast<size_t>(reader.failedOffset()), bytes.size() - 11);
    reader.close();

    // A step back further than the buffer holds goes back to the file.
    SceneReader again;
    ASSERT_TRUE(again.open(path.c_str()));
    std::vector<int32_t> skip(70000);
    ASSERT_TRUE(again.readItems(skip.data(), 4, skip.size()));
    again.stepBack(70000 * 4 - 8);
    int32_t two = 0;
    ASSERT_TRUE(again.readInt32(two));
    EXPECT_EQ(two, 2);
    std::remove(path.c_str());
}

TEST(SceneReader, NegativeCountsAreNotedWhereTheyStandAndOnlyCountedBeyondTheCap)
{
    constexpr int counts = 1000;
    RecordBytes bytes;
    for (int i = 0; i < counts; ++i)
        bytes.i32(-1 - i);
    SceneReader reader;
    openBytes(reader, bytes);
    for (int i = 0; i < counts; ++i)
        EXPECT_EQ(reader.readCount(4, "keys"), 0);
    EXPECT_FALSE(reader.failed());
    ASSERT_EQ(reader.notes().size(), maxSceneNotes);
    EXPECT_EQ(reader.noteCount(), static_cast<uint64_t>(counts));
    EXPECT_EQ(reader.notes()[3].offset, 12u);
    EXPECT_EQ(reader.notes()[3].problem, "negative count of keys (-4), read as 0");

    // Notes made while a node was read take its name; earlier ones keep theirs.
    reader.openMemory(bytes.data(), 8);
    reader.readCount(4);
    reader.attributeNotes(0, "first");
    reader.readCount(4);
    reader.attributeNotes(1, "second");
    ASSERT_EQ(reader.notes().size(), 2u);
    EXPECT_EQ(reader.notes()[0].node, "first");
    EXPECT_EQ(reader.notes()[1].node, "second");
}

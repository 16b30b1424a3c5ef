// SceneReader: the byte source every loader of scene data reads through, with a sticky failure flag.
#pragma once

#include "common/data_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "scene files are little-endian and are copied into values byte for byte");

// Something in the data that loading passes over without stopping, where the show would
// silently draw less than the file describes: a negative count read as 0, faces or face
// indices that are dropped. Kept for the checker.
struct SceneNote {
    uint64_t offset = 0; // where in the data the passed-over value stands
    std::string node;    // name of the node being read; empty outside the node tree
    std::string problem;
};

// Notes beyond this many per file are only counted, so damage cannot cost memory in
// proportion to itself.
constexpr size_t maxSceneNotes = 100;

// Reads int32, f32, zero-terminated strings and raw blocks from a scene file, streaming it
// through a small buffer that stays in cache. Once a read fails (the data ends, or a count
// cannot fit), `failed` stays set and every later read does nothing, leaving its destination
// as it was.
class SceneReader {
public:
    SceneReader() = default;
    ~SceneReader();
    SceneReader(const SceneReader&) = delete;
    SceneReader& operator=(const SceneReader&) = delete;

    // Starts over on a data file of the show in folder (found in any letter case, inside
    // the folder's boundary, a regular file of at most SceneFileLimit bytes); false (and
    // `failed` set) when it cannot be opened.
    bool open(const char* path, const DataFolder& folder = DataFolder());
    // Starts over on a copy of the given bytes instead of a file.
    void openMemory(const void* data, size_t size);
    // Closes the file and releases the buffer; the flag, the failure offset, the notes and
    // offset() stay.
    void close();

    // One little-endian int32; false when it could not be read (destination unchanged).
    bool readInt32(int32_t& destination) { return readBlock(&destination, 4); }
    // One little-endian f32; false when it could not be read (destination unchanged).
    bool readFloat32(float& destination) { return readBlock(&destination, 4); }
    // One item of n raw bytes; false when fewer than n bytes remain (destination unchanged).
    bool readBlock(void* destination, size_t n)
    {
        if (failed_)
            return false;
        if (end_ - position_ < n && !fill(n)) {
            failAt(offset());
            return false;
        }
        if (n > 0)
            std::memcpy(destination, buffer_.get() + position_, n);
        position_ += n;
        return true;
    }
    // Up to count items of itemBytes each, as count readBlock calls would: the items that are
    // complete in the data are stored; returns false (flag set) when not all of them were.
    bool readItems(void* destination, size_t itemBytes, size_t count);
    // A zero-terminated string into a buffer of bufferSize bytes (at least 1). A longer string
    // is stored truncated to bufferSize - 1 bytes and the rest up to its zero byte is skipped.
    // The buffer always ends with a zero; false when the data ends before the zero byte.
    bool readString(char* buffer, size_t bufferSize);
    // Reads an int32 count of records of at least recordBytes each. Returns 0 for a negative
    // count (noting it, with `what` naming the records) or once the flag is set; sets the
    // flag and returns 0 when the records cannot fit in the bytes that remain, so a corrupt
    // count never leads to a huge allocation.
    int32_t readCount(size_t recordBytes, const char* what = "records");
    // The same rule for a count already read: 0 when negative or once the flag is set;
    // sets the flag and returns 0 when count records of recordBytes cannot fit in what remains.
    int32_t checkCount(int32_t count, size_t recordBytes);
    // Moves the read position back by n bytes (not before the start); nothing once failed.
    void stepBack(size_t n);
    // Marks the data as damaged at the current position (sticky, like a failed read).
    void fail() { failAt(offset()); }

    // Records a note about the value at offset; past maxSceneNotes it is only counted.
    void note(uint64_t offset, std::string problem);
    // Gives the notes recorded from index first on the name of the node they were found in.
    void attributeNotes(size_t first, const std::string& node);
    // The notes kept, in the order they were made (reset by open and openMemory).
    const std::vector<SceneNote>& notes() const { return notes_; }
    // Every note made, kept or not.
    uint64_t noteCount() const { return noteCount_; }

    // Whether any read has failed (or the file could not be opened).
    bool failed() const { return failed_; }
    // Byte offset at which the failed read began; -1 while nothing has failed.
    int64_t failedOffset() const { return failedOffset_; }
    // Current read position in bytes from the start of the data.
    uint64_t offset() const { return bufferStart_ + position_; }
    // Length of the data in bytes (up to the read position once closed).
    uint64_t size() const { return size_; }
    // Bytes left after the read position.
    uint64_t remaining() const { return size_ > offset() ? size_ - offset() : 0; }

private:
    // Makes at least n unread bytes available in the buffer; false when the data ends first.
    bool fill(size_t n);
    void reset();
    void failAt(uint64_t offset)
    {
        if (!failed_) {
            failed_ = true;
            failedOffset_ = static_cast<int64_t>(offset);
        }
    }

    std::FILE* file_ = nullptr;
    // The inflated archive entry file_ reads from, kept until file_ is closed.
    std::shared_ptr<const std::vector<unsigned char>> memory_;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t capacity_ = 0;
    size_t position_ = 0;     // next unread byte in the buffer
    size_t end_ = 0;          // bytes of the buffer holding data
    uint64_t bufferStart_ = 0; // offset in the data of buffer_[0]
    uint64_t size_ = 0;
    bool failed_ = false;
    int64_t failedOffset_ = -1;
    std::vector<SceneNote> notes_;
    uint64_t noteCount_ = 0;
};

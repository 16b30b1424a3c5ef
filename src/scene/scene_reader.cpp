#include "scene/scene_reader.h"

#include <cstdio>
#include <new>

bool SceneReader::open(const char* path)
{
    data_.reset();
    size_ = 0;
    position_ = 0;
    failed_ = false;
    failedOffset_ = -1;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        failAt(0);
        return false;
    }
    // The whole file is read in one go: loading then parses from memory and the file is
    // closed before the first value is decoded.
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        failAt(0);
        return false;
    }
    if (length > 0) {
        data_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(length)]);
        if (!data_) {
            std::fclose(file);
            failAt(0);
            return false;
        }
        // A short read (a file shrinking under us) simply ends the data early.
        size_ = std::fread(data_.get(), 1, static_cast<size_t>(length), file);
    }
    std::fclose(file);
    return true;
}

void SceneReader::openMemory(const void* data, size_t size)
{
    data_.reset();
    size_ = 0;
    position_ = 0;
    failed_ = false;
    failedOffset_ = -1;
    if (size > 0) {
        data_.reset(new unsigned char[size]);
        std::memcpy(data_.get(), data, size);
        size_ = size;
    }
}

void SceneReader::close()
{
    data_.reset();
    // The position stays, so offset() still says where reading ended; with nothing left
    // after it every later read fails.
    size_ = position_;
}

bool SceneReader::readItems(void* destination, size_t itemBytes, size_t count)
{
    if (failed_)
        return false;
    if (itemBytes == 0)
        return true;
    size_t whole = remaining() / itemBytes;
    size_t n = whole < count ? whole : count;
    if (n > 0)
        std::memcpy(destination, data_.get() + position_, n * itemBytes);
    position_ += n * itemBytes;
    if (n < count) {
        failAt(position_);
        return false;
    }
    return true;
}

bool SceneReader::readString(char* buffer, size_t bufferSize)
{
    if (failed_ || bufferSize == 0)
        return false;
    const unsigned char* bytes = data_.get();
    size_t start = position_;
    size_t stored = 0;
    for (size_t i = position_; i < size_; ++i) {
        if (bytes[i] == 0) {
            buffer[stored] = '\0';
            position_ = i + 1;
            return true;
        }
        // Bytes beyond the buffer are consumed but dropped, so later fields stay aligned.
        if (stored + 1 < bufferSize)
            buffer[stored++] = static_cast<char>(bytes[i]);
    }
    buffer[stored] = '\0';
    position_ = size_;
    failAt(start);
    return false;
}

int32_t SceneReader::readCount(size_t recordBytes)
{
    size_t start = position_;
    int32_t count = 0;
    if (!readInt32(count))
        return 0;
    if (count <= 0)
        return 0;
    if (recordBytes > 0 && static_cast<uint64_t>(count) * recordBytes > remaining()) {
        failAt(start);
        return 0;
    }
    return count;
}

int32_t SceneReader::checkCount(int32_t count, size_t recordBytes)
{
    if (failed_ || count <= 0)
        return 0;
    if (recordBytes > 0 && static_cast<uint64_t>(count) * recordBytes > remaining()) {
        failAt(position_);
        return 0;
    }
    return count;
}

void SceneReader::stepBack(size_t n)
{
    if (failed_)
        return;
    position_ = n > position_ ? 0 : position_ - n;
}

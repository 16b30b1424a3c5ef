#include "common/scene_reader.h"

#include "common/data_file.h"

#include <algorithm>

namespace {

// Large enough that refills are rare, small enough to stay in cache while values are decoded.
constexpr size_t streamBufferBytes = 256 * 1024;
// Bytes already read that a refill keeps before the read position, so a short step back
// never touches the file.
constexpr size_t keptBehind = 16;

} // namespace

SceneReader::~SceneReader() { close(); }

void SceneReader::reset()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    memory_.reset();
    position_ = 0;
    end_ = 0;
    bufferStart_ = 0;
    size_ = 0;
    failed_ = false;
    failedOffset_ = -1;
    notes_.clear();
    noteCount_ = 0;
}

bool SceneReader::open(const char* path, const DataFolder& folder)
{
    reset();
    DataFile data = folder.openFile(path, SceneFileLimit);
    if (!data) {
        failAt(0);
        return false;
    }
    file_ = data.file.release();
    memory_ = std::move(data.memory);
    // Reads go straight into our own buffer; stdio's would only add a copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    size_ = static_cast<uint64_t>(data.size);
    if (capacity_ < streamBufferBytes) {
        buffer_.reset(new unsigned char[streamBufferBytes]);
        capacity_ = streamBufferBytes;
    }
    return true;
}

void SceneReader::openMemory(const void* data, size_t size)
{
    reset();
    buffer_.reset(new unsigned char[std::max<size_t>(size, 1)]);
    capacity_ = std::max<size_t>(size, 1);
    if (size > 0)
        std::memcpy(buffer_.get(), data, size);
    end_ = size;
    size_ = size;
}

void SceneReader::close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    memory_.reset();
    bufferStart_ = offset();
    size_ = bufferStart_;
    position_ = 0;
    end_ = 0;
    buffer_.reset();
    capacity_ = 0;
}

bool SceneReader::fill(size_t n)
{
    if (!file_)
        return false;
    // Move the unread tail (and a few bytes before it) to the front, then top the buffer up
    // from the file.
    size_t behind = std::min(position_, keptBehind);
    size_t from = position_ - behind;
    size_t kept = end_ - from;
    if (behind + n > capacity_) {
        std::unique_ptr<unsigned char[]> larger(new unsigned char[behind + n]);
        std::memcpy(larger.get(), buffer_.get() + from, kept);
        buffer_ = std::move(larger);
        capacity_ = behind + n;
    } else if (from > 0) {
        std::memmove(buffer_.get(), buffer_.get() + from, kept);
    }
    bufferStart_ += from;
    position_ = behind;
    end_ = kept;
    n += behind;
    while (end_ < n) {
        size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
        if (got == 0)
            return false;
        end_ += got;
    }
    return true;
}

bool SceneReader::readItems(void* destination, size_t itemBytes, size_t count)
{
    if (failed_)
        return false;
    if (itemBytes == 0 || count == 0)
        return true;
    auto* out = static_cast<unsigned char*>(destination);
    while (count > 0) {
        if (end_ - position_ < itemBytes && !fill(itemBytes)) {
            failAt(offset());
            return false;
        }
        size_t n = std::min(count, (end_ - position_) / itemBytes);
        std::memcpy(out, buffer_.get() + position_, n * itemBytes);
        out += n * itemBytes;
        position_ += n * itemBytes;
        count -= n;
    }
    return true;
}

bool SceneReader::readString(char* buffer, size_t bufferSize)
{
    if (failed_ || bufferSize == 0)
        return false;
    uint64_t start = offset();
    size_t stored = 0;
    for (;;) {
        if (position_ == end_ && !fill(1)) {
            buffer[stored] = '\0';
            failAt(start);
            return false;
        }
        const unsigned char* from = buffer_.get() + position_;
        size_t available = end_ - position_;
        const void* zero = std::memchr(from, 0, available);
        size_t length = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - from)
                             : available;
        // Bytes beyond the buffer are consumed but dropped, so later fields stay aligned.
        size_t take = std::min(length, bufferSize - 1 - stored);
        std::memcpy(buffer + stored, from, take);
        stored += take;
        if (zero) {
            buffer[stored] = '\0';
            position_ += length + 1;
            return true;
        }
        position_ = end_;
    }
}

int32_t SceneReader::readCount(size_t recordBytes, const char* what)
{
    uint64_t start = offset();
    int32_t count = 0;
    if (!readInt32(count))
        return 0;
    if (count < 0)
        note(start, "negative count of " + std::string(what) + " (" + std::to_string(count) + "), read as 0");
    if (count <= 0)
        return 0;
    if (static_cast<uint64_t>(count) * recordBytes > remaining()) {
        failAt(start);
        return 0;
    }
    return count;
}

int32_t SceneReader::checkCount(int32_t count, size_t recordBytes)
{
    if (failed_ || count <= 0)
        return 0;
    if (static_cast<uint64_t>(count) * recordBytes > remaining()) {
        fail();
        return 0;
    }
    return count;
}

void SceneReader::note(uint64_t offset, std::string problem)
{
    ++noteCount_;
    if (notes_.size() < maxSceneNotes)
        notes_.push_back({offset, std::string(), std::move(problem)});
}

void SceneReader::attributeNotes(size_t first, const std::string& node)
{
    for (size_t i = first; i < notes_.size(); ++i)
        notes_[i].node = node;
}

void SceneReader::stepBack(size_t n)
{
    if (failed_)
        return;
    if (n <= position_) {
        position_ -= n;
        return;
    }
    uint64_t target = offset() > n ? offset() - n : 0;
    if (file_ && fseeko(file_, static_cast<off_t>(target), SEEK_SET) == 0) {
        bufferStart_ = target;
        position_ = 0;
        end_ = 0;
    } else {
        position_ = 0;
    }
}

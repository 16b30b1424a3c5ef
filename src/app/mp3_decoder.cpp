#include "app/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The stream as mpg123 reads it: a seekable file in memory, so that tags at the end and
// the encoder's gapless information are found as they would be in a real file.
struct MemoryReader {
    const unsigned char* data;
    size_t size;
    size_t position;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t count)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    size_t left = reader->position < reader->size ? reader->size - reader->position : 0;
    size_t n = std::min(count, left);
    if (n > 0)
        std::memcpy(buffer, reader->data + reader->position, n);
    reader->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekMemory(void* handle, off_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<off_t>(reader->position);
    else if (whence == SEEK_END)
        base = static_cast<off_t>(reader->size);
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base)
        return -1;
    reader->position = static_cast<size_t>(base + offset);
    return static_cast<off_t>(reader->position);
}

using Mpg123Handle = std::unique_ptr<mpg123_handle, decltype(&mpg123_delete)>;

} // namespace

bool DecodeMp3(const unsigned char* data, size_t size, DecodedAudio& out)
{
    out = DecodedAudio();
    static const bool libraryReady = mpg123_init() == MPG123_OK;
    if (!libraryReady || !data)
        return false;

    int error = 0;
    Mpg123Handle handle(mpg123_new(nullptr, &error), &mpg123_delete);
    if (!handle)
        return false;
    mpg123_handle* mh = handle.get();
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);

    MemoryReader reader{data, size, 0};
    if (mpg123_replace_reader_handle(mh, readMemory, seekMemory, nullptr) != MPG123_OK
        || mpg123_open_handle(mh, &reader) != MPG123_OK)
        return false;

    // Decode at the stream's own rate and channel count; later frames in another format
    // are converted by mpg123 to this one, so the whole stream comes out alike.
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0
        || (channels != 1 && channels != 2))
        return false;
    mpg123_format_none(mh);
    if (mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16)
        != MPG123_OK)
        return false;

    unsigned char buffer[32768];
    for (;;) {
        size_t done = 0;
        int result = mpg123_read(mh, buffer, sizeof buffer, &done);
        size_t count = done / sizeof(int16_t);
        size_t at = out.samples.size();
        out.samples.resize(at + count);
        if (count > 0)
            std::memcpy(out.samples.data() + at, buffer, count * sizeof(int16_t));
        // Damage mpg123 cannot resynchronise past ends the stream where it is.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            break;
    }

    out.samples.resize(out.samples.size() - out.samples.size() % static_cast<size_t>(channels));
    if (out.samples.empty()) {
        out = DecodedAudio();
        return false;
    }
    out.rate = static_cast<int>(rate);
    out.channels = channels;
    return true;
}

bool DecodeMp3File(const char* path, DecodedAudio& out)
{
    out = DecodedAudio();
    if (!path)
        return false;
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file)
        return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    if (std::ferror(file.get()))
        return false;
    return DecodeMp3(bytes.data(), bytes.size(), out);
}

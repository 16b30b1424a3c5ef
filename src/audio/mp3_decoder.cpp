#include "audio/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// mpg123 reads through these, so that tags at the end and the encoder's gapless
// information are found in a file and in memory alike.
mpg123_ssize_t readSource(void* handle, void* buffer, size_t count)
{
    auto* source = static_cast<Mp3Source*>(handle);
    if (source->file) {
        size_t n = std::fread(buffer, 1, count, source->file.get());
        return std::ferror(source->file.get()) ? -1 : static_cast<mpg123_ssize_t>(n);
    }
    size_t left = source->position < source->size ? source->size - source->position : 0;
    size_t n = std::min(count, left);
    if (n > 0)
        std::memcpy(buffer, source->data + source->position, n);
    source->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekSource(void* handle, off_t offset, int whence)
{
    auto* source = static_cast<Mp3Source*>(handle);
    if (source->file) {
        if (fseeko(source->file.get(), offset, whence) != 0)
            return -1;
        return ftello(source->file.get());
    }
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<off_t>(source->position);
    else if (whence == SEEK_END)
        base = static_cast<off_t>(source->size);
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base)
        return -1;
    source->position = static_cast<size_t>(base + offset);
    return static_cast<off_t>(source->position);
}

// Reads the rest of stream into out.
void readWhole(Mp3Stream& stream, DecodedAudio& out)
{
    const size_t channels = static_cast<size_t>(stream.channels());
    int16_t buffer[16384];
    const size_t bufferFrames = sizeof buffer / sizeof buffer[0] / channels;
    size_t got = 0;
    while ((got = stream.read(buffer, bufferFrames)) > 0)
        out.samples.insert(out.samples.end(), buffer, buffer + got * channels);
    out.rate = stream.rate();
    out.channels = stream.channels();
}

bool libraryReady()
{
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

// A handle reading source from where it stands, set to decode at the stream's own rate
// and channel count (later frames in another format are converted by mpg123 to this one,
// so the whole stream comes out alike). Returns null when no frame of the stream is found.
mpg123_handle* openHandle(Mp3Source& source, long& rate, int& channels)
{
    if (!libraryReady())
        return nullptr;
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    int encoding = 0;
    if (mpg123_replace_reader_handle(handle, readSource, seekSource, nullptr) == MPG123_OK
        && mpg123_open_handle(handle, &source) == MPG123_OK
        && mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK && rate > 0
        && (channels == 1 || channels == 2) && mpg123_format_none(handle) == MPG123_OK
        && mpg123_format(handle, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK)
        return handle;
    mpg123_delete(handle);
    return nullptr;
}

} // namespace

Mp3Stream::~Mp3Stream()
{
    if (handle_)
        mpg123_delete(handle_);
}

bool Mp3Stream::open(DataFile file)
{
    if (handle_ || !file)
        return false;
    source_.memory = std::move(file.memory);
    source_.file = std::move(file.file);
    return start();
}

bool Mp3Stream::openMemory(const unsigned char* data, size_t size)
{
    if (handle_ || !data)
        return false;
    source_.data = data;
    source_.size = size;
    return start();
}

bool Mp3Stream::start()
{
    long rate = 0;
    int channels = 0;
    // The scan runs on a handle of its own: on a damaged stream it can turn off the
    // trimming of the encoder's delay, which would change what the stream decodes to.
    mpg123_handle* scanner = openHandle(source_, rate, channels);
    if (!scanner)
        return false;
    // Headers only: far quicker than decoding. The scan also indexes the frames (a table
    // of fixed size), which the decoding handle takes over so that seeking anywhere
    // needs no reading through the stream.
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    const bool scanned = mpg123_scan(scanner) == MPG123_OK;
    if (scanned) {
        off_t frames = mpg123_length(scanner);
        length_ = frames >= 0 ? static_cast<long long>(frames) : -1;
    }
    if (seekSource(&source_, 0, SEEK_SET) == 0)
        handle_ = openHandle(source_, rate, channels);
    if (handle_ && scanned && mpg123_index(scanner, &offsets, &step, &fill) == MPG123_OK && fill > 0)
        mpg123_set_index(handle_, offsets, step, fill);
    mpg123_delete(scanner);
    if (!handle_)
        return false;
    rate_ = static_cast<int>(rate);
    channels_ = channels;

    probeFrames_ = read(probe_, ProbeFrames);
    probeAt_ = 0;
    if (probeFrames_ == 0) {
        mpg123_delete(handle_);
        handle_ = nullptr;
        rate_ = 0;
        channels_ = 0;
        return false;
    }
    return true;
}

size_t Mp3Stream::read(int16_t* out, size_t frames)
{
    if (!handle_)
        return 0;
    const size_t frameValues = static_cast<size_t>(channels_);
    size_t written = 0;
    if (probeAt_ < probeFrames_) {
        written = std::min(frames, probeFrames_ - probeAt_);
        std::memcpy(out, probe_ + probeAt_ * frameValues, written * frameValues * sizeof(int16_t));
        probeAt_ += written;
    }
    while (written < frames && !ended_) {
        size_t done = 0;
        int result = mpg123_read(handle_, out + written * frameValues, (frames - written) * frameValues * sizeof(int16_t), &done);
        written += done / (frameValues * sizeof(int16_t));
        // Damage mpg123 cannot resynchronise past ends the stream where it is.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            ended_ = true;
        else if (done == 0 && result == MPG123_OK)
            ended_ = true; // nothing came and nothing is wrong: no more to come
    }
    return written;
}

bool Mp3Stream::seek(long long frame)
{
    if (!handle_)
        return false;
    probeAt_ = probeFrames_;
    ended_ = mpg123_seek(handle_, static_cast<off_t>(std::max(frame, 0LL)), SEEK_SET) < 0;
    return !ended_;
}

bool DecodeMp3(const unsigned char* data, size_t size, DecodedAudio& out)
{
    out = DecodedAudio();
    Mp3Stream stream;
    if (!stream.openMemory(data, size))
        return false;
    readWhole(stream, out);
    return true;
}

bool DecodeMp3File(const char* path, DecodedAudio& out, const DataFolder& folder)
{
    out = DecodedAudio();
    Mp3Stream stream;
    if (!path || !stream.open(folder.openFile(path, SoundtrackFileLimit)))
        return false;
    readWhole(stream, out);
    return true;
}

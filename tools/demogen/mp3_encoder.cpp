#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// LAME chats about its settings on standard output; the generator stays quiet.
void quiet(const char*, va_list) {}

constexpr int FramesPerChunk = 8192;

} // namespace

bool writeMp3(const std::string& path, const std::vector<int16_t>& interleaved,
              std::string& error)
{
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        error = path + ": cannot start the MP3 encoder";
        return false;
    }
    lame_global_flags* flags = lame.get();
    lame_set_msgf(flags, quiet);
    lame_set_debugf(flags, quiet);
    lame_set_errorf(flags, quiet);
    lame_set_in_samplerate(flags, 44100);
    lame_set_out_samplerate(flags, 44100);
    lame_set_num_channels(flags, 2);
    lame_set_mode(flags, JOINT_STEREO);
    lame_set_VBR(flags, vbr_default);
    lame_set_VBR_quality(flags, 2.0f);
    lame_set_bWriteVbrTag(flags, 1);
    // No ID3 tags: the file holds nothing but the LAME tag and the sound.
    lame_set_write_id3tag_automatic(flags, 0);
    if (lame_init_params(flags) < 0) {
        error = path + ": the MP3 encoder rejected its settings";
        return false;
    }

    // The LAME tag is written into the first frame at the end, so the file is opened for
    // reading too.
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "w+b"));
    if (!file) {
        error = path + ": cannot be written: " + std::strerror(errno);
        return false;
    }

    std::vector<unsigned char> buffer(size_t(FramesPerChunk) * 5 / 4 + 7200);
    size_t frames = interleaved.size() / 2;
    for (size_t at = 0; at < frames; at += FramesPerChunk) {
        int count = int(std::min<size_t>(FramesPerChunk, frames - at));
        int bytes = lame_encode_buffer_interleaved(
            flags, const_cast<short*>(interleaved.data() + at * 2), count, buffer.data(),
            int(buffer.size()));
        if (bytes < 0) {
            error = path + ": MP3 encoding failed";
            return false;
        }
        std::fwrite(buffer.data(), 1, size_t(bytes), file.get());
    }
    int bytes = lame_encode_flush(flags, buffer.data(), int(buffer.size()));
    if (bytes < 0) {
        error = path + ": MP3 encoding failed";
        return false;
    }
    std::fwrite(buffer.data(), 1, size_t(bytes), file.get());
    lame_mp3_tags_fid(flags, file.get());

    bool failed = std::ferror(file.get()) != 0;
    failed = std::fclose(file.release()) != 0 || failed;
    if (failed) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

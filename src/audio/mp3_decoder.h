// MP3 decoding to 16-bit PCM at the stream's own rate, with no audio device involved.
#pragma once

#include "common/data_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct mpg123_handle_struct;

// Where a stream's bytes come from: a file, or else bytes in memory.
struct Mp3Source {
    std::shared_ptr<const std::vector<unsigned char>> memory; // an archive entry file reads from
    FileHandle file;
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

// A stream decoded a little at a time: memory stays the same whatever the stream's length.
// Gapless where the stream carries encoder delay and padding; a stream damaged part-way
// ends where the damage stops mpg123.
class Mp3Stream {
public:
    Mp3Stream() = default;
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // Takes an opened data file (see DataFolder::openFile), scans its frame headers and decodes
    // its first frames. Returns false when not a single frame decodes.
    bool open(DataFile file);
    // The same for a stream held in memory, which must outlive this object.
    bool openMemory(const unsigned char* data, size_t size);

    int rate() const { return rate_; }         // frames per second, as the stream was encoded
    int channels() const { return channels_; } // 1 or 2
    // The length in frames, from a scan of every frame header without decoding: what
    // decoding yields unless damage ends it earlier. -1 when the scan fails.
    long long length() const { return length_; }

    // Decodes up to frames frames into out (frames x channels values). Returns the frames
    // written: fewer than asked only at the end of the stream, 0 from then on.
    size_t read(int16_t* out, size_t frames);
    // Moves to frame (counted as read returns them). Returns false when mpg123 cannot go
    // there; the stream then reads as ended.
    bool seek(long long frame);

private:
    bool start();

    static constexpr size_t ProbeFrames = 1152;

    Mp3Source source_; // mpg123 holds its address: the stream never moves
    mpg123_handle_struct* handle_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    long long length_ = -1;
    bool ended_ = false;
    int16_t probe_[ProbeFrames * 2] = {}; // decoded by open, handed out by the first reads
    size_t probeFrames_ = 0;
    size_t probeAt_ = 0;
};

// A whole stream decoded at once: interleaved signed 16-bit samples.
struct DecodedAudio {
    int rate = 0;                 // frames per second, as the stream was encoded
    int channels = 0;             // 1 or 2
    std::vector<int16_t> samples; // frames x channels values
};

// Decodes a whole MP3 held in memory. A stream damaged part-way keeps what decoded before
// the damage. Returns false, leaving out empty, when not a single frame decodes.
bool DecodeMp3(const unsigned char* data, size_t size, DecodedAudio& out);
// Opens path in folder as a soundtrack (at most SoundtrackFileLimit bytes) and decodes it
// whole. Returns false when the file is refused, unreadable or decodes to nothing.
bool DecodeMp3File(const char* path, DecodedAudio& out, const DataFolder& folder = DataFolder());

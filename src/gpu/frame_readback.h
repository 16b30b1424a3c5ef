// Reading finished frames back from the drawing buffer through pixel buffer objects: the
// read of one frame is started and collected a few frames later, so that it overlaps with
// drawing the next ones instead of stalling each frame.
#pragma once

#include "gpu/gl.h"

#include <cstddef>
#include <vector>

class FrameReadback {
public:
    FrameReadback() = default;
    ~FrameReadback();
    FrameReadback(const FrameReadback&) = delete;
    FrameReadback& operator=(const FrameReadback&) = delete;

    // Sets up inFlight reads of width x height RGBA in the current context. Returns false
    // when the context offers no pixel buffer objects (GL_ARB_pixel_buffer_object); each
    // frame is then read at once when it is started.
    bool create(int width, int height, int inFlight);

    // Starts reading the current picture as frame number frame.
    void start(long long frame);
    // True when a started frame should be collected now: every read is in flight, or,
    // with draining set, any read is.
    bool due(bool draining) const;
    // Copies the oldest started frame into pixels (bottom row first) and returns its number;
    // -1 when none was started. Raises failed() when its buffer cannot be mapped.
    long long collect(unsigned char* pixels);

    bool failed() const { return failed_; }

private:
    struct Read {
        GLuint buffer = 0;
        long long frame = -1;
    };
    int width_ = 0;
    int height_ = 0;
    std::vector<Read> reads_;
    std::vector<unsigned char> direct_; // without pixel buffer objects
    size_t oldest_ = 0;
    size_t started_ = 0;
    bool failed_ = false;
};

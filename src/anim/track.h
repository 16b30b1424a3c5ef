// Track and TcbKey: the common model of every keyframe track and of its Kochanek-Bartels keys.
#pragma once

#include <cstdint>

class SceneReader;

// Base of every track kind. Evaluation is a non-virtual `evaluate` on each concrete track,
// because its result type differs per kind.
class Track {
public:
    Track() = default;
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;
    virtual ~Track() = default;

    // Computes tangents or control points from the keys; called once after reading.
    virtual void prepare() = 0;
    // Reads the track's file record; on a failed read the reader's flag says so.
    virtual void read(SceneReader& reader) = 0;

    // Index of the key that begins the segment of the previous evaluation (a search hint).
    int32_t cursor = 0;
    // First word of the track's record; kept, never consulted.
    int32_t headerWord = 1;
};

// Base of the keys of the spline tracks: the frame and the tension, continuity and bias.
class TcbKey {
public:
    TcbKey() = default;
    virtual ~TcbKey() = default;

    // Reads the key's record; fields whose read failed keep their values.
    virtual void read(SceneReader& reader) = 0;

    int32_t frame = 0;
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    float easeTo = 0.0f;   // kept from the file, never applied
    float easeFrom = 0.0f; // kept from the file, never applied

protected:
    TcbKey(const TcbKey&) = default;
    TcbKey& operator=(const TcbKey&) = default;
    TcbKey(TcbKey&&) = default;
    TcbKey& operator=(TcbKey&&) = default;

    // Reads the six fields every key record starts with (24 bytes).
    void readTcbFields(SceneReader& reader);
};

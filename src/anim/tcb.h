// Kochanek-Bartels helpers shared by the spline tracks and the morph track: key search,
// frame spans, spacing factors, tangent formulas and the Hermite basis.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>

#include "anim/track.h"
#include "common/scene_reader.h"

namespace tcb {

// b - a in frames, computed without integer overflow and then converted to f32.
inline float frameSpan(int32_t a, int32_t b)
{
    return static_cast<float>(static_cast<int64_t>(b) - static_cast<int64_t>(a));
}

// Moves cursor to the key that begins the segment holding time (keys 0..n-1, n >= 1):
// forwards while the next key has been reached, then backwards while the cursor's key lies
// ahead. frameAt(i) gives key i's frame. Steadily increasing times cost one comparison.
template <typename FrameAt>
inline void searchKeys(int32_t& cursor, int32_t n, float time, FrameAt frameAt)
{
    if (cursor < 0 || cursor >= n)
        cursor = 0;
    while (cursor < n - 1 && static_cast<float>(frameAt(cursor + 1)) <= time)
        ++cursor;
    while (cursor > 0 && static_cast<float>(frameAt(cursor)) > time)
        --cursor;
}

// Parameter of time within the segment from frame f0 to f1; a segment of zero span gives 0,
// so it yields its first key's value.
inline float segmentParameter(float time, int32_t f0, int32_t f1)
{
    float span = frameSpan(f0, f1);
    if (span == 0.0f)
        return 0.0f;
    return (time - static_cast<float>(f0)) / span;
}

// The cubic Hermite weights of the start value, start tangent, end value and end tangent.
struct HermiteBasis {
    float h1, h2, h3, h4;
};

inline HermiteBasis hermiteBasis(float t)
{
    float t2 = t * t;
    float t3 = t2 * t;
    return {2.0f * t3 - 3.0f * t2 + 1.0f, t3 - 2.0f * t2 + t, 3.0f * t2 - 2.0f * t3, t3 - t2};
}

// The continuity-blended spacing factor of a key whose own side spans `side` frames out of
// `side + other`: 0.5 + (1 - |C|) * (side / (side + other) - 0.5). Keys sharing a frame on
// both sides (a total span of 0) count as evenly spaced.
inline float spacingFactor(float continuity, float side, float other)
{
    float total = side + other;
    float share = total == 0.0f ? 0.5f : side / total;
    return 0.5f + (1.0f - std::fabs(continuity)) * (share - 0.5f);
}

// Incoming tangent of an inner key from the differences to its neighbours.
template <typename V>
inline V incomingTangent(const TcbKey& key, float factor, const V& dMinus, const V& dPlus)
{
    float t = key.tension, c = key.continuity, b = key.bias;
    return (dMinus * ((1.0f + b) * (1.0f - c)) + dPlus * ((1.0f - b) * (1.0f + c))) *
           ((1.0f - t) * factor);
}

// Outgoing tangent of an inner key from the differences to its neighbours.
template <typename V>
inline V outgoingTangent(const TcbKey& key, float factor, const V& dMinus, const V& dPlus)
{
    float t = key.tension, c = key.continuity, b = key.bias;
    return (dMinus * ((1.0f + b) * (1.0f + c)) + dPlus * ((1.0f - b) * (1.0f - c))) *
           ((1.0f - t) * factor);
}

// Outgoing tangent of the first key, its missing neighbour mirrored from the second key's
// incoming tangent.
template <typename V>
inline V firstTangent(const TcbKey& key, const V& d, const V& nextIn)
{
    return (d * 1.5f - nextIn * 0.5f) * (1.0f - key.tension);
}

// Incoming tangent of the last key, mirrored from the previous key's outgoing tangent.
template <typename V>
inline V lastTangent(const TcbKey& key, const V& d, const V& previousOut)
{
    return (d * 1.5f - previousOut * 0.5f) * (1.0f - key.tension);
}

// Tangents of a scalar or vector spline: keys[i]->value, ->inTangent, ->outTangent.
template <typename Keys>
void prepareSpline(Keys& keys)
{
    int32_t n = keys.size();
    if (n < 2)
        return;
    if (n == 2) {
        auto d = keys[1]->value - keys[0]->value;
        keys[0]->outTangent = d * (1.0f - keys[0]->tension);
        keys[1]->inTangent = d * (1.0f - keys[1]->tension);
        return;
    }
    auto innerIn = [&](int32_t i) {
        const auto& k = *keys[i];
        float sMinus = frameSpan(keys[i - 1]->frame, k.frame);
        float sPlus = frameSpan(k.frame, keys[i + 1]->frame);
        return incomingTangent(k, spacingFactor(k.continuity, sMinus, sPlus),
                               k.value - keys[i - 1]->value, keys[i + 1]->value - k.value);
    };
    keys[0]->outTangent = firstTangent(*keys[0], keys[1]->value - keys[0]->value, innerIn(1));
    for (int32_t i = 1; i < n - 1; ++i) {
        auto& k = *keys[i];
        float sMinus = frameSpan(keys[i - 1]->frame, k.frame);
        float sPlus = frameSpan(k.frame, keys[i + 1]->frame);
        auto dMinus = k.value - keys[i - 1]->value;
        auto dPlus = keys[i + 1]->value - k.value;
        k.inTangent = incomingTangent(k, spacingFactor(k.continuity, sMinus, sPlus), dMinus, dPlus);
        k.outTangent = outgoingTangent(k, spacingFactor(k.continuity, sPlus, sMinus), dMinus, dPlus);
    }
    keys[n - 1]->inTangent = lastTangent(*keys[n - 1], keys[n - 1]->value - keys[n - 2]->value,
                                         keys[n - 2]->outTangent);
}

// Value of a scalar or vector spline at time; `empty` when there are no keys.
template <typename Keys, typename V>
V evaluateSpline(Keys& keys, int32_t& cursor, float time, const V& empty)
{
    int32_t n = keys.size();
    if (n == 0)
        return empty;
    searchKeys(cursor, n, time, [&](int32_t i) { return keys[i]->frame; });
    if (cursor == n - 1)
        return keys[cursor]->value;
    const auto& a = *keys[cursor];
    const auto& b = *keys[cursor + 1];
    HermiteBasis h = hermiteBasis(segmentParameter(time, a.frame, b.frame));
    return a.value * h.h1 + a.outTangent * h.h2 + b.value * h.h3 + b.inTangent * h.h4;
}

// Reads a spline track record: the header word, the key count, then the keys. A count the
// remaining bytes cannot hold reads no keys and marks the data damaged.
template <typename Key, typename Keys>
void readSpline(SceneReader& reader, int32_t& headerWord, Keys& keys, size_t keyRecordBytes)
{
    reader.readInt32(headerWord);
    int32_t n = reader.readCount(keyRecordBytes, "track keys");
    keys.setSize(n);
    for (int32_t i = 0; i < n; ++i) {
        keys[i] = std::make_unique<Key>();
        keys[i]->read(reader);
    }
}

} // namespace tcb

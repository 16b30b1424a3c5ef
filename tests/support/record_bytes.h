// RecordBytes: assembles scene-file bytes by hand (little-endian), independently of any writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class RecordBytes {
public:
    RecordBytes& i32(int32_t v) { return raw(&v, 4); }
    RecordBytes& f32(float v) { return raw(&v, 4); }
    // The text and its zero byte.
    RecordBytes& str(const std::string& s)
    {
        raw(s.data(), s.size());
        bytes.push_back(0);
        return *this;
    }
    RecordBytes& raw(const void* p, size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    RecordBytes& hex(std::initializer_list<unsigned char> b)
    {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    // frame, tension, continuity, bias, easeTo, easeFrom
    RecordBytes& keyHeader(int32_t frame, float t = 0, float c = 0, float b = 0, float easeTo = 0,
                           float easeFrom = 0)
    {
        return i32(frame).f32(t).f32(c).f32(b).f32(easeTo).f32(easeFrom);
    }
    size_t size() const { return bytes.size(); }
    const unsigned char* data() const { return bytes.data(); }

    std::vector<unsigned char> bytes;
};

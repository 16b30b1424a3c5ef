#include "importer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gltf_import {

namespace {

int componentCount(int type)
{
    switch (type) {
    case TINYGLTF_TYPE_SCALAR:
        return 1;
    case TINYGLTF_TYPE_VEC2:
        return 2;
    case TINYGLTF_TYPE_VEC3:
        return 3;
    case TINYGLTF_TYPE_VEC4:
        return 4;
    case TINYGLTF_TYPE_MAT2:
        return 4;
    case TINYGLTF_TYPE_MAT3:
        return 9;
    case TINYGLTF_TYPE_MAT4:
        return 16;
    }
    return 0;
}

int componentBytes(int type)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
    }
    return 0;
}

double readComponent(const unsigned char* p, int type, bool normalised)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        double v = static_cast<int8_t>(p[0]);
        return normalised ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalised ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return normalised ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return normalised ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_INT: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

} // namespace

const unsigned char* viewBytes(const tinygltf::Model& model, int viewIndex, uint64_t offset, uint64_t count,
                               uint64_t elementBytes, uint64_t& stride, std::string& problem)
{
    if (viewIndex < 0 || size_t(viewIndex) >= model.bufferViews.size()) {
        problem = "names buffer view " + std::to_string(viewIndex) + ", which does not exist";
        return nullptr;
    }
    const tinygltf::BufferView& view = model.bufferViews[size_t(viewIndex)];
    if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size()) {
        problem = "uses buffer " + std::to_string(view.buffer) + ", which does not exist";
        return nullptr;
    }
    const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
    stride = view.byteStride != 0 ? view.byteStride : elementBytes;
    if (stride < elementBytes) {
        problem = "has a byte stride smaller than its elements";
        return nullptr;
    }
    uint64_t viewEnd = uint64_t(view.byteOffset) + uint64_t(view.byteLength);
    if (viewEnd < view.byteOffset || viewEnd > data.size()) {
        problem = "uses buffer view " + std::to_string(viewIndex) + ", which reaches past the end of its buffer";
        return nullptr;
    }
    if (count == 0)
        return data.data();
    if (count > (uint64_t(1) << 32) || offset > view.byteLength ||
        (count - 1) * stride + elementBytes > view.byteLength - offset) {
        problem = "reaches past the end of buffer view " + std::to_string(viewIndex);
        return nullptr;
    }
    return data.data() + view.byteOffset + offset;
}

const std::vector<double>& Importer::accessor(int index, int& components)
{
    auto found = accessors_.find(index);
    if (found != accessors_.end()) {
        components = found->second.second;
        return found->second.first;
    }
    if (index < 0 || size_t(index) >= model_.accessors.size())
        fail("accessor " + std::to_string(index) + " does not exist");
    const tinygltf::Accessor& a = model_.accessors[size_t(index)];
    const std::string name = "accessor " + std::to_string(index);
    int n = componentCount(a.type);
    int bytes = componentBytes(a.componentType);
    if (n == 0 || bytes == 0)
        fail(name + " has an unknown type or component type");
    std::vector<double> values;
    const uint64_t count = a.count;
    if (count > (uint64_t(1) << 28))
        fail(name + " holds more elements than any buffer here");
    // Values are held as doubles, up to eight times the bytes they take in a buffer: a
    // budget in proportion to the buffers keeps crafted accessors from taking all memory.
    uint64_t bufferBytes = 0;
    for (const tinygltf::Buffer& b : model_.buffers)
        bufferBytes += b.data.size();
    decodedValues_ += count * uint64_t(n);
    if (decodedValues_ > (uint64_t(1) << 22) + 8 * bufferBytes)
        fail(name + " and those before it hold more values than the model's buffers could");
    values.assign(count * uint64_t(n), 0.0);
    std::string problem;
    if (a.bufferView >= 0) {
        uint64_t stride = 0;
        const unsigned char* p = viewBytes(model_, a.bufferView, a.byteOffset, count, uint64_t(n) * bytes, stride, problem);
        if (!p)
            fail(name + " " + problem);
        for (uint64_t i = 0; i < count; ++i)
            for (int c = 0; c < n; ++c)
                values[i * n + c] = readComponent(p + i * stride + uint64_t(c) * bytes, a.componentType, a.normalized);
    }
    if (a.sparse.isSparse) {
        const uint64_t k = a.sparse.count > 0 ? uint64_t(a.sparse.count) : 0;
        int indexBytes = componentBytes(a.sparse.indices.componentType);
        if (indexBytes == 0 || a.sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT)
            fail(name + " has sparse indices of an unknown type");
        uint64_t stride = 0;
        const unsigned char* ip = viewBytes(model_, a.sparse.indices.bufferView,
                                            uint64_t(std::max(0, a.sparse.indices.byteOffset)), k, indexBytes, stride, problem);
        if (!ip)
            fail(name + " (sparse indices) " + problem);
        uint64_t valueStride = 0;
        const unsigned char* vp = viewBytes(model_, a.sparse.values.bufferView, uint64_t(std::max(0, a.sparse.values.byteOffset)),
                                            k, uint64_t(n) * bytes, valueStride, problem);
        if (!vp)
            fail(name + " (sparse values) " + problem);
        for (uint64_t i = 0; i < k; ++i) {
            double at = readComponent(ip + i * uint64_t(indexBytes), a.sparse.indices.componentType, false);
            if (!(at >= 0) || at >= double(count))
                fail(name + " has a sparse index past its " + std::to_string(count) + " elements");
            for (int c = 0; c < n; ++c)
                values[uint64_t(at) * n + c] =
                    readComponent(vp + i * uint64_t(n) * bytes + uint64_t(c) * bytes, a.componentType, a.normalized);
        }
    }
    for (double v : values)
        if (!std::isfinite(v))
            fail(name + " holds a value that is not a number or is infinite");
    components = n;
    auto& stored = accessors_[index];
    stored.first = std::move(values);
    stored.second = n;
    return stored.first;
}

} // namespace gltf_import

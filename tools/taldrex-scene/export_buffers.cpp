#include "exporter.h"

#include <algorithm>
#include <limits>

namespace gltf_export {

int Exporter::addView(const void* data, size_t bytes, int target)
{
    std::vector<unsigned char>& buffer = model_.buffers[0].data;
    buffer.resize((buffer.size() + 3) / 4 * 4);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = buffer.size();
    view.byteLength = bytes;
    view.target = target;
    const auto* begin = static_cast<const unsigned char*>(data);
    buffer.insert(buffer.end(), begin, begin + bytes);
    model_.bufferViews.push_back(view);
    return static_cast<int>(model_.bufferViews.size()) - 1;
}

int Exporter::addFloats(std::vector<float> values, int components, bool bounds, int target)
{
    for (float& value : values)
        if (!std::isfinite(value)) {
            value = 0.0f;
            ++nonFinite_;
        }
    tinygltf::Accessor accessor;
    accessor.bufferView = addView(values.data(), values.size() * sizeof(float), target);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    accessor.count = values.size() / components;
    const int types[] = {TINYGLTF_TYPE_SCALAR, TINYGLTF_TYPE_VEC2, TINYGLTF_TYPE_VEC3, TINYGLTF_TYPE_VEC4};
    accessor.type = types[components - 1];
    if (bounds) {
        accessor.minValues.assign(components, 0.0);
        accessor.maxValues.assign(components, 0.0);
        for (size_t i = 0; i < values.size(); ++i) {
            const size_t c = i % components;
            if (i < size_t(components) || values[i] < accessor.minValues[c])
                accessor.minValues[c] = values[i];
            if (i < size_t(components) || values[i] > accessor.maxValues[c])
                accessor.maxValues[c] = values[i];
        }
    }
    model_.accessors.push_back(accessor);
    return static_cast<int>(model_.accessors.size()) - 1;
}

int Exporter::addIndices(const std::vector<uint32_t>& indices)
{
    tinygltf::Accessor accessor;
    accessor.bufferView = addView(indices.data(), indices.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    accessor.count = indices.size();
    accessor.type = TINYGLTF_TYPE_SCALAR;
    model_.accessors.push_back(accessor);
    return static_cast<int>(model_.accessors.size()) - 1;
}

void Exporter::push(std::vector<float>& out, const Vector3& v)
{
    out.insert(out.end(), {v.x, v.y, v.z});
}

tinygltf::Value Exporter::taldrexExtras(const tinygltf::Value::Object& taldrex)
{
    tinygltf::Value::Object extras;
    extras["taldrex"] = tinygltf::Value(taldrex);
    return tinygltf::Value(extras);
}

tinygltf::Value Exporter::colourValue(const Vector3& colour)
{
    return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(double(colour.x)), tinygltf::Value(double(colour.y)),
                                                  tinygltf::Value(double(colour.z))});
}

} // namespace gltf_export

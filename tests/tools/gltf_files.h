// Small glTF 2.0 files made in the tests: a JSON text with one embedded buffer, and GLB.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class GltfText {
public:
    // Adds an accessor of floats of the given type ("SCALAR", "VEC2", "VEC3", "VEC4") and
    // returns its index.
    int floats(const std::vector<float>& values, const char* type)
    {
        int components = type[0] == 'S' ? 1 : type[3] - '0';
        return add(values.data(), values.size() * 4, 5126, values.size() / size_t(components), type);
    }
    int indices(const std::vector<uint16_t>& values)
    {
        return add(values.data(), values.size() * 2, 5123, values.size(), "SCALAR");
    }

    std::vector<std::string> nodes, meshes, animations, materials, extra;
    std::string scenes = "[{\"nodes\":[0]}]";
    std::string bufferUri; // empty: the buffer embedded as base64

    std::string text() const
    {
        std::string out = "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":" + scenes;
        out += list("nodes", nodes) + list("meshes", meshes) + list("animations", animations) +
               list("materials", materials);
        for (const std::string& e : extra)
            out += "," + e;
        std::string uri = bufferUri.empty() ? "data:application/octet-stream;base64," + base64(bin_) : bufferUri;
        out += ",\"buffers\":[{\"byteLength\":" + std::to_string(bin_.size()) + ",\"uri\":\"" + uri + "\"}]";
        out += list("bufferViews", views_) + list("accessors", accessors_) + "}";
        return out;
    }

    // The same model as a GLB file, the buffer in its binary chunk.
    std::string glb() const
    {
        GltfText copy = *this;
        copy.bufferUri = "-";
        std::string json = copy.text();
        json.replace(json.find(",\"uri\":\"-\""), 10, "");
        while (json.size() % 4)
            json += ' ';
        std::string bin = bin_;
        while (bin.size() % 4)
            bin += '\0';
        std::string out = "glTF";
        word(out, 2);
        word(out, uint32_t(12 + 8 + json.size() + 8 + bin.size()));
        word(out, uint32_t(json.size()));
        out += "JSON" + json;
        word(out, uint32_t(bin.size()));
        out += std::string("BIN\0", 4) + bin;
        return out;
    }

    static std::string base64(const std::string& in)
    {
        static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (size_t i = 0; i < in.size(); i += 3) {
            uint32_t v = uint32_t(uint8_t(in[i])) << 16;
            if (i + 1 < in.size())
                v |= uint32_t(uint8_t(in[i + 1])) << 8;
            if (i + 2 < in.size())
                v |= uint8_t(in[i + 2]);
            out += table[(v >> 18) & 63];
            out += table[(v >> 12) & 63];
            out += i + 1 < in.size() ? table[(v >> 6) & 63] : '=';
            out += i + 2 < in.size() ? table[v & 63] : '=';
        }
        return out;
    }

    std::vector<std::string> accessors_, views_;
    std::string bin_;

private:
    int add(const void* data, size_t bytes, int componentType, size_t count, const char* type)
    {
        while (bin_.size() % 4)
            bin_ += '\0';
        views_.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(bin_.size()) + ",\"byteLength\":" +
                         std::to_string(bytes) + "}");
        bin_.append(static_cast<const char*>(data), bytes);
        accessors_.push_back("{\"bufferView\":" + std::to_string(views_.size() - 1) + ",\"componentType\":" +
                             std::to_string(componentType) + ",\"count\":" + std::to_string(count) +
                             ",\"type\":\"" + type + "\"}");
        return int(accessors_.size()) - 1;
    }
    static std::string list(const char* name, const std::vector<std::string>& items)
    {
        if (items.empty())
            return "";
        std::string out = std::string(",\"") + name + "\":[";
        for (size_t i = 0; i < items.size(); ++i)
            out += (i ? "," : "") + items[i];
        return out + "]";
    }
    static void word(std::string& out, uint32_t v)
    {
        char b[4];
        std::memcpy(b, &v, 4);
        out.append(b, 4);
    }
};

// A model of one triangle in node 0 (mesh 0, positions accessor 0, indices accessor 1).
inline GltfText triangleModel()
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    g.indices({0, 1, 2});
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
    g.nodes.push_back("{\"name\":\"tri\",\"mesh\":0}");
    return g;
}

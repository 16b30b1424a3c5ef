#include "import_names.h"

#include "common/ascii_case.h"
#include "importer.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace gltf_import {

std::string cutUtf8(const std::string& s, size_t n)
{
    if (s.size() <= n)
        return s;
    size_t end = n;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

std::string playerName(const std::string& name, const std::string& fallback, size_t max)
{
    std::string s;
    for (char c : name)
        s.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '_' : c);
    s = cutUtf8(LowerCase(s), max);
    if (s.empty())
        s = fallback;
    return s;
}

std::string fileStem(const std::string& name)
{
    std::string s;
    for (char c : LowerCase(name)) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        s.push_back(keep ? c : '_');
    }
    return s.substr(0, 60);
}

std::string imageStem(const tinygltf::Image& image, int index)
{
    std::string name = image.name;
    for (const char* extension : {".jpg", ".jpeg", ".png", ".webp"}) {
        const size_t length = std::strlen(extension);
        if (name.size() > length && LowerCase(name.substr(name.size() - length)) == extension)
            name.resize(name.size() - length);
    }
    return fileStem(name.empty() ? "image" + std::to_string(index) : name);
}

std::string quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

std::string formatNumber(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

void makeNamesUnique(std::vector<NodeSpec>& siblings)
{
    std::set<std::string> used;
    for (NodeSpec& node : siblings) {
        if (node.type == NodeType::Target)
            continue;
        std::string name = node.name;
        for (int n = 2; used.count(name); ++n) {
            std::string suffix = "." + std::to_string(n);
            name = cutUtf8(node.name, maxNodeName - suffix.size()) + suffix;
        }
        used.insert(name);
        node.name = name;
    }
}

} // namespace gltf_import

#include "picture_finder.h"

#include "common/ascii_case.h"
#include "common/file_path.h"
#include "script_entries.h"

#include <algorithm>
#include <fstream>
#include <iterator>

PictureFinder::PictureFinder(const std::string& folder, const std::string& sceneFile) : folder_(folder)
{
    if (folder_.empty())
        return;
    std::ifstream in(folder_ + "/script.txt", std::ios::binary);
    if (!in) {
        noScript_ = true;
        return;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Entries entries;
    ParseScript(text, entries);
    const std::string base = LowerCase(sceneFile.substr(sceneFile.find_last_of('/') + 1));
    for (const auto& entry : entries.list) {
        if (entry.first == "scene" && entry.second == base)
            break;
        if (entry.first == "texture")
            listed_.push_back(entry.second);
    }
}

bool PictureFinder::find(const MaterialMap& map, std::string& key, std::string& path) const
{
    if (folder_.empty())
        return false;
    for (const std::string& name : {map.textureName(), map.fallbackTextureName()}) {
        const bool usable = name.find(".jpg") != std::string::npos || name.find(".png") != std::string::npos;
        if (!usable || (!noScript_ && std::find(listed_.begin(), listed_.end(), name) == listed_.end()))
            continue;
        std::string resolved = resolveDataPath(folder_ + "/data\\" + name);
        if (std::ifstream(resolved, std::ios::binary)) {
            key = name;
            path = resolved;
            return true;
        }
    }
    return false;
}

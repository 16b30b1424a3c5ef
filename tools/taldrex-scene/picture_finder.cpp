#include "picture_finder.h"

#include "common/ascii_case.h"
#include "common/file_path.h"
#include "demo/script_parser.h"
#include "scene/material.h"

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
    const std::string base = LowerCase(sceneFile.substr(sceneFile.find_last_of('/') + 1));
    for (const PlanEntry& entry : ParseScript(text).entries) {
        if (entry.kind == EntryKind::Scene && entry.key == base)
            break;
        if (entry.kind == EntryKind::Texture)
            listed_.push_back(entry.key);
    }
}

bool PictureFinder::find(const MaterialMap& map, std::string& key, std::string& path) const
{
    if (folder_.empty())
        return false;
    for (const std::string& name : MapTextureKeys(map)) {
        if (!PicturesOf(name).any() || (!noScript_ && std::find(listed_.begin(), listed_.end(), name) == listed_.end()))
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

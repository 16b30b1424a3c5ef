// Finds the pictures a scene's materials name as the player finds them.
#pragma once

#include "scene/material.h"

#include <string>
#include <vector>

// The picture a material map names, found as the player finds it: the script's texture
// entries (before the scene's own entry when the script lists the scene) are the names a
// map can resolve to, and the file is the entry's name under data/ in any letter case.
class PictureFinder {
public:
    // Reads the script of the demo folder (none when folder is empty).
    PictureFinder(const std::string& folder, const std::string& sceneFile);

    // The key the player registers the picture under and the file's path; false when the
    // map resolves to no listed picture, or there is no demo folder.
    bool find(const MaterialMap& map, std::string& key, std::string& path) const;

private:
    std::string folder_;
    bool noScript_ = false;
    std::vector<std::string> listed_;
};

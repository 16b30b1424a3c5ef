// What loading a show found in each file it read, kept so that the start-up check can
// report on the files without reading them again.
#pragma once

#include "common/data_file.h"
#include "common/scene_reader.h"
#include "graph/camera_node.h"
#include "graph/node.h"
#include "image/image_limits.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Scene;
struct TexturePicture;

// How opening a data file went: the path as found on disk (as mapped when not found)
// and, when it did not open, why.
struct OpenedFile {
    std::string path;
    bool opened = false;
    DataFileError error = DataFileError::None;
    std::string problem;
};

// What decoding a texture's picture gave; for a line naming both kinds, the PNG's.
struct PictureRead {
    OpenedFile file;
    bool decoded = false;  // some pixels came out
    bool complete = false; // every row did
    std::string refusal;   // why a limit refused it; empty when none did
};

// A node of a scene, in the pre-order the parts' camera names are matched in.
struct NodeRead {
    std::string name;
    NodeKind kind = NodeKind::Transform;
    // The camera's faults; none for other kinds.
    CameraFaults faults;
};

// A texture map a material draws with: the surface or the environment map.
struct MapRead {
    std::string material;
    std::string mapFile;
    std::array<std::string, 2> keys; // the texture keys it is found under, in order
};

// What reading a scene file gave.
struct SceneRead {
    std::string key; // the scene as the script names it
    OpenedFile file;
    bool failed = false; // reading stopped before the end, at failedOffset
    int64_t failedOffset = -1;
    std::vector<SceneNote> notes;
    uint64_t noteCount = 0;
    std::vector<NodeRead> nodes;
    std::vector<MapRead> maps;
};

// The record of one load: the loading picture, every texture by its key, as first
// listed, and every scene by the script line that lists it.
struct LoadReport {
    std::optional<PictureRead> loadingPicture;
    std::map<std::string, PictureRead> textures;
    std::map<int, SceneRead> scenes;
};

// Opens the data file at showPath (such as "data\\logo.png") in folder with maxBytes as its limit,
// closes it again, and says how it went.
OpenedFile OpenedFileOf(const DataFolder& folder, const std::string& showPath, long long maxBytes);

// The record of texture key's picture (or "Loading.jpg") as the show decoded it into
// picture.
PictureRead ReadOfPicture(const DataFolder& folder, const std::string& key, const TexturePicture& picture);

// Opens and decodes texture key's pictures (or "Loading.jpg") in folder as the show does, taking
// their memory from budget. Returns the record; a file that does not open is not decoded.
PictureRead ReadTexture(const DataFolder& folder, const std::string& key, ImageBudget& budget);

// The record of scene as loaded from the file key names (null when it did not open).
// Finding the cameras' faults leaves the tracks' cursors as they were.
SceneRead ReadOfScene(const DataFolder& folder, const std::string& key, Scene* scene);

// Opens and reads the scene file key names in folder, without textures. Returns the record.
SceneRead ReadScene(const DataFolder& folder, const std::string& key);

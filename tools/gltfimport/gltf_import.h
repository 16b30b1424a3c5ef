// glTF import: turns a glTF 2.0 model (.gltf with embedded or external buffers, or .glb)
// into a scene the player plays, with its textures and what the show's script needs.
#pragma once

#include "scene_writer.h"

#include <cstddef>
#include <string>
#include <vector>

struct ImportOptions {
    std::string name;         // the scene's base name; empty: the model's file name
    int scene = -1;           // the glTF scene; -1: the model's default scene, else 0
    std::string animation;    // empty: the first; "all": every one in turn; else by name
    double tolerance = 0.001; // fitting tolerance, a fraction of each track's range
    int fps = 30;             // frames per second of animation time (the player plays 30)
    std::string envFile;      // a sphere map for metallic materials, or empty
    bool singleSided = false; // leave out the back faces of double-sided materials
    double scale = 0;         // what the whole model is multiplied by; 0: fitted to the depth range
};

// One fitted track, for the summary.
struct TrackReport {
    std::string node;
    std::string property; // "position", "rotation", "scale", "morph", "roll", "target"
    int keysIn = 0;
    int keysOut = 0;
    double largest = 0.0;
    double tolerance = 0.0;
    const char* unit = ""; // "units" or "degrees"
};

// A file to write under DATA/: its lower-case name and its bytes.
struct OutputFile {
    std::string name;
    std::string bytes;
};

struct ImportedShow {
    std::string sceneFile; // "NAME.scn"
    SceneSpec scene;
    std::vector<OutputFile> textures;   // in the order the script should list them
    std::vector<std::string> cameras;   // the camera node names, one part each
    int frames = 1;                     // frames of animation written (1 for a still scene)
    std::vector<TrackReport> tracks;    // every animated property
    std::vector<std::string> warnings;  // what could not be carried over, one line each
    std::vector<std::string> notes;     // what the maker should know
    // Counts for the summary.
    int nodes = 0, meshes = 0, triangles = 0, materials = 0, cameraCount = 0, lights = 0;
    int trackCount = 0, keyCount = 0;
};

// Reads and converts the model at path. Returns false with error (the problem, without
// the file name) when the model cannot be imported; then show is unspecified.
bool importGltfFile(const std::string& path, const ImportOptions& options, ImportedShow& show,
                    std::string& error);

// The same for a model already in memory (glTF JSON or GLB); external files are looked up
// under baseDir, and displayName stands for the file in messages and default names.
bool importGltfMemory(const unsigned char* data, size_t size, const std::string& baseDir,
                      const std::string& displayName, const ImportOptions& options, ImportedShow& show,
                      std::string& error);

// Reads the whole of a regular file into bytes; false when the path names no regular file
// or it cannot be read.
bool readFileBytes(const std::string& path, std::string& bytes);

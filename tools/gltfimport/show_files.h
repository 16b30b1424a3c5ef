// Writing an imported model into a demo folder: the scene file, its textures and the
// script lines that load and show them.
#pragma once

#include "gltf_import.h"

#include <cstdio>
#include <string>
#include <vector>

// The script text with the import's entries added: the textures at the end of the texture
// list that comes before the scene list (a new list there when there is none), the scene
// at the end of the scene list (a new one at the end when there is none), and, when no part
// names the scene yet, one part per camera, each lasting partMs after the last end time of
// the script. Every other line stays as it was.
std::string updateScript(const std::string& script, const std::vector<std::string>& textures,
                         const std::string& sceneFile, const std::vector<std::string>& cameras, long long partMs);

// Imports modelPath into demoDir and prints the summary to out and problems to err.
// Returns 0 when the folder was written (or, with dryRun, would be), 1 when the model
// cannot be imported or the folder cannot be written; then nothing is left written.
int runImport(const std::string& modelPath, const std::string& demoDir, const ImportOptions& options, bool dryRun,
              std::FILE* out, std::FILE* err);

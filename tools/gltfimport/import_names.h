// Names and numbers as the importer writes them: the player's names (lower case, cut to
// what the player keeps), file stems for the data folder, and quoted or short numbers for
// messages.
#pragma once

#include "scene_writer.h"

#include <tiny_gltf.h>

#include <cstddef>
#include <string>
#include <vector>

namespace gltf_import {

// Cuts text to at most n bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& s, size_t n);

// A name as the player keeps it: lower case, no control characters (a name goes on a line
// of the script), at most max bytes, never empty.
std::string playerName(const std::string& name, const std::string& fallback, size_t max);

// A name fit for a file in the data folder: lower-case letters, digits, '_', '-' and '.'.
std::string fileStem(const std::string& name);

// The stem of an image's texture files: its name (without a picture file's extension, as
// exporters often name images after their files) or its number.
std::string imageStem(const tinygltf::Image& image, int index);

// s in double quotes, for messages.
std::string quoted(const std::string& s);

// A number as printf's %g writes it, for messages.
std::string formatNumber(double v);

// Renames siblings whose names clash: the second "a" becomes "a.2", and so on.
void makeNamesUnique(std::vector<NodeSpec>& siblings);

} // namespace gltf_import

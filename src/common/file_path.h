// Data file paths: the show names files as "data\Name.ext"; on Linux they are found
// with '/' separators and case-insensitively, component by component.
#pragma once

#include <string>

// Maps backslashes to '/' and finds each component of the path case-insensitively,
// starting from the current folder (or the root for an absolute path). Returns the
// path as it exists on disk, or the mapped path unchanged where a component is missing.
std::string resolveDataPath(const std::string& showPath);

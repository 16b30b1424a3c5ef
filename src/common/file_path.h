// Data file paths: the show names files as "data\Name.ext"; on Linux they are found
// with '/' separators and case-insensitively, component by component.
#pragma once

#include <string>

// Maps backslashes to '/' and finds each component of the path case-insensitively,
// starting from base (the current folder when empty; the root for an absolute path).
// Returns the path as it exists on disk, still relative to base when showPath is, or the
// mapped path unchanged where a component is missing.
std::string resolveDataPath(const std::string& showPath, const std::string& base = std::string());

// Nearest names by spelling: the suggestions after "did you mean" in makers' messages.
#pragma once

#include <string>
#include <vector>

// The number of single-character insertions, deletions, substitutions and swaps of two
// neighbours that turn a into b.
int EditDistance(const std::string& a, const std::string& b);

// Up to most distinct candidates closest to name by EditDistance, nearest first (ties in
// candidate order). Only candidates no further than half of the longer of the two names,
// and at least 2 edits allowed, are kept; none is empty.
std::vector<std::string> NearestNames(const std::string& name, const std::vector<std::string>& candidates,
                                      size_t most);

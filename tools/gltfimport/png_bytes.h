// PNG bytes made in memory, for the solid-colour textures of untextured materials.
#pragma once

#include <string>

// An 8x8 RGB PNG of one colour; empty when libpng fails.
std::string solidPng(unsigned char r, unsigned char g, unsigned char b);

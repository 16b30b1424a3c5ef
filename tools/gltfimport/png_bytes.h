// PNG bytes made in memory: the solid-colour textures of untextured materials, and pictures
// that arrive in formats the player does not read.
#pragma once

#include <string>

// An 8x8 RGB PNG of one colour; empty when libpng fails.
std::string solidPng(unsigned char r, unsigned char g, unsigned char b);

// An RGB PNG of width x height pixels (rows top first, 3 bytes each); empty when libpng fails.
std::string rgbPng(int width, int height, const unsigned char* rgb);

// An RGBA PNG of width x height pixels (rows top first, 4 bytes each); empty when libpng fails.
std::string rgbaPng(int width, int height, const unsigned char* rgba);

// A WebP picture as PNG bytes; empty when it does not decode or is larger than
// maxSide x maxSide pixels.
std::string webpAsPng(const unsigned char* data, size_t size, int maxSide);

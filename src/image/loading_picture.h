// The loading picture: one frame shown while the demo script loads.
#pragma once

#include "common/data_file.h"
#include "gpu/gl.h"
#include "image/image_limits.h"

struct TexturePicture;

// Builds a mipmapped texture from "data\\Loading.jpg" in folder, its cost taken from
// budget (its levels stay taken, as the texture stays), clears the frame to black and
// draws the texture over the whole picture (0, 0) .. (width, height) with the background
// quad under a saved and restored orthographic projection; the platform then shows it. A
// missing picture leaves the quad untextured: a white frame. Returns the loading texture,
// which is not registered anywhere; decoded, when given, takes the picture as it was
// decoded.
GLuint DrawLoadingPicture(const DataFolder& folder, ImageBudget& budget, int width, int height,
                          TexturePicture* decoded = nullptr);

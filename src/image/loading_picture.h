// The loading picture: one frame shown while the demo script loads.
#pragma once

#include "app/gl.h"
#include "app/viewport.h"
#include "common/data_file.h"
#include "image/image_limits.h"

struct TexturePicture;

// Builds a mipmapped texture from "data\\Loading.jpg" in folder, its bytes taken from
// budget, clears the frame to black, draws the texture over the whole of target
// (0, 0) .. (width, height) with the background quad under a saved and restored
// orthographic projection, and swaps target's window when it has one. A missing picture
// leaves the quad untextured: a white frame. Returns the loading texture, which is not
// registered anywhere; decoded, when given, takes the picture as it was decoded.
GLuint ShowLoadingPicture(const DataFolder& folder, ImageBudget& budget, const DrawTarget& target,
                          TexturePicture* decoded = nullptr);

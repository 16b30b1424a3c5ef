// The process-wide texture registry: the textures the demo script named, by name.
#pragma once

#include "app/gl.h"
#include "common/registry.h"

// Maps each lower-cased texture line of the demo script (for example "logo.png") to its
// OpenGL texture id. Filled while the script loads, read by the playback loop and by the
// scene materials; find returns null for a name the script did not list.
extern Registry<GLuint> TextureRegistry;

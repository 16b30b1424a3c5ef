#include "image/texture_registry.h"

Registry<GLuint> TextureRegistry;

#include "app/gl_context.h"

#include <SDL.h>

bool GlContextIsCurrent()
{
    // Asking before the video subsystem exists would only leave an error message behind.
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GL_GetCurrentContext() != nullptr;
}

const void* CurrentGlContext()
{
    return GlContextIsCurrent() ? SDL_GL_GetCurrentContext() : nullptr;
}

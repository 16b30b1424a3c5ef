#include "desktop/sdl_gl.h"

#include "gpu/gl_context.h"
#include "gpu/renderer_gl.h"
#include "gpu/renderer_gles2.h"

#include <SDL.h>

namespace {

// Whether a gles2 request set the EGL hint, which a gl request then takes back (leaving a
// value set by the environment or another caller alone otherwise).
bool eglForced = false;

const void* currentContext()
{
    // Asking before the video subsystem exists would only leave an error message behind.
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GL_GetCurrentContext() : nullptr;
}

bool extensionSupported(const char* name) { return SDL_GL_ExtensionSupported(name) == SDL_TRUE; }

} // namespace

void RequestContextFor(RendererKind kind)
{
    // Set both ways: one process may make contexts of both kinds, one after the other.
    if (kind == RendererKind::Gles2) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
        eglForced = true;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        return;
    }
    if (eglForced)
        SDL_ResetHint(SDL_HINT_VIDEO_X11_FORCE_EGL);
    eglForced = false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
}

Renderer* InstallRendererFor(RendererKind kind, std::string& error)
{
    SetGlPlatform(GlPlatform{SDL_GL_GetProcAddress, currentContext, extensionSupported});
    if (kind == RendererKind::Gl)
        return InstallRenderer(std::make_unique<GlRenderer>());
    std::unique_ptr<Gles2Renderer> shaders = Gles2Renderer::create(error);
    return shaders ? InstallRenderer(std::move(shaders)) : nullptr;
}

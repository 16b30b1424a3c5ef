// OpenGL contexts made through SDL: what to ask SDL for, the answers the renderers take
// their entry points from, and the renderer a new context draws with.
#pragma once

#include "gpu/renderer.h"

#include <string>

// Asks SDL for the context a renderer of kind draws with, for the next OpenGL library load
// and context: an OpenGL ES 2.0 context over EGL for gles2, SDL's default context (GLX on
// X11) for gl. Call before SDL_GL_LoadLibrary or the window's creation.
void RequestContextFor(RendererKind kind);

// Makes a renderer of kind for the SDL context current now and installs it; SDL answers
// the renderers' questions from then on. Returns it, for RemoveRenderer while the context
// is current; null with the reason in error (a shader that fails to compile or link is
// named with the driver's log), installing nothing.
Renderer* InstallRendererFor(RendererKind kind, std::string& error);

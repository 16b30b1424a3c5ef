// Whether OpenGL may be called: loading code asks before it builds OpenGL objects.
#pragma once

#include "app/renderer.h"

// True when this thread has an OpenGL context current (made current through SDL, as the
// show's window and the off-screen test contexts are).
bool GlContextIsCurrent();

// The context current on this thread, or null: objects built in one context are
// released only while that context is current.
const void* CurrentGlContext();

// Asks SDL for the context a renderer of kind draws with, for the next OpenGL library load
// and context: an OpenGL ES 2.0 context over EGL for gles2, SDL's default context (GLX on
// X11) for gl. Call before SDL_GL_LoadLibrary or the window's creation.
void RequestContextFor(RendererKind kind);

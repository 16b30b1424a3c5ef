// Whether OpenGL may be called: loading code asks before it builds OpenGL objects.
#pragma once

// True when this thread has an OpenGL context current (made current through SDL, as the
// show's window and the off-screen test contexts are).
bool GlContextIsCurrent();

// The context current on this thread, or null: objects built in one context are
// released only while that context is current.
const void* CurrentGlContext();

// Whether OpenGL may be called: loading code asks before it builds OpenGL objects.
#pragma once

// True when this thread has an OpenGL context current (made current through SDL, as the
// show's window and the off-screen test contexts are).
bool GlContextIsCurrent();

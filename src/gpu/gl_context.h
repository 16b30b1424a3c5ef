// Whether an OpenGL context is current, and the entry points of the one that is. The
// platform that makes contexts hands its answers over once (SetGlPlatform), so that the
// renderers and the units that hold GL objects know no window system.
#pragma once

// How the platform answers for its contexts. Every answer may be missing: a question it
// cannot answer gets the answer for "no context".
struct GlPlatform {
    // The entry point called name in the current context, or null.
    void* (*procAddress)(const char* name) = nullptr;
    // The context current on this thread, or null.
    const void* (*currentContext)() = nullptr;
    // True when the current context offers the extension called name.
    bool (*extensionSupported)(const char* name) = nullptr;
};

// Takes platform's answers for every later question; a platform sets them before it makes
// its first context.
void SetGlPlatform(const GlPlatform& platform);

// True when this thread has an OpenGL context current.
bool GlContextIsCurrent();

// The context current on this thread, or null: objects built in one context are
// released only while that context is current.
const void* CurrentGlContext();

// The entry point called name of the current context; null when it has none, or when no
// platform said how to find it.
void* GlProcAddress(const char* name);

// True when the current context offers the extension called name; false without one.
bool GlExtensionSupported(const char* name);

#include "gpu/gl_extensions.h"

#include "gpu/gl_context.h"

namespace ext {

MultiTexCoord1d glMultiTexCoord1dARB = nullptr;
MultiTexCoord1dv glMultiTexCoord1dvARB = nullptr;
MultiTexCoord1f glMultiTexCoord1fARB = nullptr;
MultiTexCoord1fv glMultiTexCoord1fvARB = nullptr;
MultiTexCoord1i glMultiTexCoord1iARB = nullptr;
MultiTexCoord1iv glMultiTexCoord1ivARB = nullptr;
MultiTexCoord1s glMultiTexCoord1sARB = nullptr;
MultiTexCoord1sv glMultiTexCoord1svARB = nullptr;
MultiTexCoord2d glMultiTexCoord2dARB = nullptr;
MultiTexCoord2dv glMultiTexCoord2dvARB = nullptr;
MultiTexCoord2f glMultiTexCoord2fARB = nullptr;
MultiTexCoord2fv glMultiTexCoord2fvARB = nullptr;
MultiTexCoord2i glMultiTexCoord2iARB = nullptr;
MultiTexCoord2iv glMultiTexCoord2ivARB = nullptr;
MultiTexCoord2s glMultiTexCoord2sARB = nullptr;
MultiTexCoord2sv glMultiTexCoord2svARB = nullptr;
MultiTexCoord3d glMultiTexCoord3dARB = nullptr;
MultiTexCoord3dv glMultiTexCoord3dvARB = nullptr;
MultiTexCoord3f glMultiTexCoord3fARB = nullptr;
MultiTexCoord3fv glMultiTexCoord3fvARB = nullptr;
MultiTexCoord3i glMultiTexCoord3iARB = nullptr;
MultiTexCoord3iv glMultiTexCoord3ivARB = nullptr;
MultiTexCoord3s glMultiTexCoord3sARB = nullptr;
MultiTexCoord3sv glMultiTexCoord3svARB = nullptr;
MultiTexCoord4d glMultiTexCoord4dARB = nullptr;
MultiTexCoord4dv glMultiTexCoord4dvARB = nullptr;
MultiTexCoord4f glMultiTexCoord4fARB = nullptr;
MultiTexCoord4fv glMultiTexCoord4fvARB = nullptr;
MultiTexCoord4i glMultiTexCoord4iARB = nullptr;
MultiTexCoord4iv glMultiTexCoord4ivARB = nullptr;
MultiTexCoord4s glMultiTexCoord4sARB = nullptr;
MultiTexCoord4sv glMultiTexCoord4svARB = nullptr;
ActiveTexture glActiveTextureARB = nullptr;
ClientActiveTexture glClientActiveTextureARB = nullptr;

} // namespace ext

namespace {

template <typename F>
void fetch(F& pointer, const char* name)
{
    pointer = reinterpret_cast<F>(GlProcAddress(name));
}

} // namespace

bool LoadExtensions()
{
    // Fetched in the extension's own order: by component count, then type, plain before vector.
    fetch(ext::glMultiTexCoord1dARB, "glMultiTexCoord1dARB");
    fetch(ext::glMultiTexCoord1dvARB, "glMultiTexCoord1dvARB");
    fetch(ext::glMultiTexCoord1fARB, "glMultiTexCoord1fARB");
    fetch(ext::glMultiTexCoord1fvARB, "glMultiTexCoord1fvARB");
    fetch(ext::glMultiTexCoord1iARB, "glMultiTexCoord1iARB");
    fetch(ext::glMultiTexCoord1ivARB, "glMultiTexCoord1ivARB");
    fetch(ext::glMultiTexCoord1sARB, "glMultiTexCoord1sARB");
    fetch(ext::glMultiTexCoord1svARB, "glMultiTexCoord1svARB");
    fetch(ext::glMultiTexCoord2dARB, "glMultiTexCoord2dARB");
    fetch(ext::glMultiTexCoord2dvARB, "glMultiTexCoord2dvARB");
    fetch(ext::glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    fetch(ext::glMultiTexCoord2fvARB, "glMultiTexCoord2fvARB");
    fetch(ext::glMultiTexCoord2iARB, "glMultiTexCoord2iARB");
    fetch(ext::glMultiTexCoord2ivARB, "glMultiTexCoord2ivARB");
    fetch(ext::glMultiTexCoord2sARB, "glMultiTexCoord2sARB");
    fetch(ext::glMultiTexCoord2svARB, "glMultiTexCoord2svARB");
    fetch(ext::glMultiTexCoord3dARB, "glMultiTexCoord3dARB");
    fetch(ext::glMultiTexCoord3dvARB, "glMultiTexCoord3dvARB");
    fetch(ext::glMultiTexCoord3fARB, "glMultiTexCoord3fARB");
    fetch(ext::glMultiTexCoord3fvARB, "glMultiTexCoord3fvARB");
    fetch(ext::glMultiTexCoord3iARB, "glMultiTexCoord3iARB");
    fetch(ext::glMultiTexCoord3ivARB, "glMultiTexCoord3ivARB");
    fetch(ext::glMultiTexCoord3sARB, "glMultiTexCoord3sARB");
    fetch(ext::glMultiTexCoord3svARB, "glMultiTexCoord3svARB");
    fetch(ext::glMultiTexCoord4dARB, "glMultiTexCoord4dARB");
    fetch(ext::glMultiTexCoord4dvARB, "glMultiTexCoord4dvARB");
    fetch(ext::glMultiTexCoord4fARB, "glMultiTexCoord4fARB");
    fetch(ext::glMultiTexCoord4fvARB, "glMultiTexCoord4fvARB");
    fetch(ext::glMultiTexCoord4iARB, "glMultiTexCoord4iARB");
    fetch(ext::glMultiTexCoord4ivARB, "glMultiTexCoord4ivARB");
    fetch(ext::glMultiTexCoord4sARB, "glMultiTexCoord4sARB");
    fetch(ext::glMultiTexCoord4svARB, "glMultiTexCoord4svARB");
    fetch(ext::glActiveTextureARB, "glActiveTextureARB");
    fetch(ext::glClientActiveTextureARB, "glClientActiveTextureARB");
    return ext::glActiveTextureARB != nullptr && ext::glMultiTexCoord2fARB != nullptr;
}

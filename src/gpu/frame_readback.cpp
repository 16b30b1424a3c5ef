#include "gpu/frame_readback.h"

#include "gpu/renderer.h"

#include "gpu/gl_context.h"

#include <cstring>

#ifndef GL_PIXEL_PACK_BUFFER_ARB
#define GL_PIXEL_PACK_BUFFER_ARB 0x88EB
#endif
#ifndef GL_STREAM_READ_ARB
#define GL_STREAM_READ_ARB 0x88E1
#endif
#ifndef GL_READ_ONLY_ARB
#define GL_READ_ONLY_ARB 0x88B8
#endif

namespace {

// The buffer-object entry points, from the context that creates the reads.
using GenBuffers = void(APIENTRY*)(GLsizei, GLuint*);
using DeleteBuffers = void(APIENTRY*)(GLsizei, const GLuint*);
using BindBuffer = void(APIENTRY*)(GLenum, GLuint);
using BufferData = void(APIENTRY*)(GLenum, ptrdiff_t, const void*, GLenum);
using MapBuffer = void*(APIENTRY*)(GLenum, GLenum);
using UnmapBuffer = GLboolean(APIENTRY*)(GLenum);

GenBuffers genBuffers = nullptr;
DeleteBuffers deleteBuffers = nullptr;
BindBuffer bindBuffer = nullptr;
BufferData bufferData = nullptr;
MapBuffer mapBuffer = nullptr;
UnmapBuffer unmapBuffer = nullptr;

template <typename F>
bool fetch(F& pointer, const char* name)
{
    pointer = reinterpret_cast<F>(GlProcAddress(name));
    return pointer != nullptr;
}

bool loadBufferObjects()
{
    return GlExtensionSupported("GL_ARB_pixel_buffer_object") && fetch(genBuffers, "glGenBuffersARB") &&
        fetch(deleteBuffers, "glDeleteBuffersARB") && fetch(bindBuffer, "glBindBufferARB") &&
        fetch(bufferData, "glBufferDataARB") && fetch(mapBuffer, "glMapBufferARB") &&
        fetch(unmapBuffer, "glUnmapBufferARB");
}

} // namespace

bool FrameReadback::create(int width, int height, int inFlight)
{
    width_ = width;
    height_ = height;
    const size_t bytes = static_cast<size_t>(width) * height * 4;
    // Pixel-pack buffers are desktop OpenGL's; the gles2 renderer reads each frame directly.
    if (inFlight < 1 || ActiveRenderer().kind() != RendererKind::Gl || !loadBufferObjects()) {
        reads_.resize(1);
        direct_.resize(bytes);
        return false;
    }
    reads_.resize(static_cast<size_t>(inFlight));
    for (Read& read : reads_) {
        genBuffers(1, &read.buffer);
        bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, read.buffer);
        bufferData(GL_PIXEL_PACK_BUFFER_ARB, static_cast<ptrdiff_t>(bytes), nullptr, GL_STREAM_READ_ARB);
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, 0);
    return true;
}

FrameReadback::~FrameReadback()
{
    for (Read& read : reads_) {
        if (read.buffer != 0)
            deleteBuffers(1, &read.buffer);
    }
}

void FrameReadback::start(long long frame)
{
    Read& read = reads_[(oldest_ + started_) % reads_.size()];
    read.frame = frame;
    ++started_;
    ActiveRenderer().pixelStorei(GL_PACK_ALIGNMENT, 1);
    if (read.buffer == 0) {
        ActiveRenderer().readPixels(0, 0, width_, height_, direct_.data());
        return;
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, read.buffer);
    // Into the bound buffer, at its start: only the gl renderer gets here.
    ActiveRenderer().readPixels(0, 0, width_, height_, nullptr);
    bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, 0);
}

bool FrameReadback::due(bool draining) const
{
    return started_ > 0 && (draining || started_ == reads_.size());
}

long long FrameReadback::collect(unsigned char* pixels)
{
    if (started_ == 0)
        return -1;
    Read& read = reads_[oldest_];
    oldest_ = (oldest_ + 1) % reads_.size();
    --started_;
    const size_t bytes = static_cast<size_t>(width_) * height_ * 4;
    if (read.buffer == 0) {
        std::memcpy(pixels, direct_.data(), bytes);
        return read.frame;
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, read.buffer);
    const void* mapped = mapBuffer(GL_PIXEL_PACK_BUFFER_ARB, GL_READ_ONLY_ARB);
    if (mapped) {
        std::memcpy(pixels, mapped, bytes);
        unmapBuffer(GL_PIXEL_PACK_BUFFER_ARB);
    } else {
        std::memset(pixels, 0, bytes);
        failed_ = true;
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER_ARB, 0);
    return read.frame;
}

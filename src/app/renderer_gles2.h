// Gles2Renderer: the renderer that keeps OpenGL 1.1's fixed-function state itself and
// draws with OpenGL ES 2.0 vertex buffers and GLSL ES 1.00 shaders.
#pragma once

#include "app/renderer.h"

#include <memory>
#include <string>

class Gles2Renderer : public Renderer {
public:
    // A renderer for the ES 2.0 context current now, or null with the reason in error.
    static std::unique_ptr<Gles2Renderer> create(std::string& error);
};

#include "app/renderer_gles2.h"

std::unique_ptr<Gles2Renderer> Gles2Renderer::create(std::string& error)
{
    error = "the gles2 renderer is not built yet";
    return nullptr;
}

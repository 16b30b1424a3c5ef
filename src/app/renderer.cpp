#include "app/renderer.h"

#include "app/renderer_gl.h"
#include "app/renderer_gles2.h"

namespace {

// The renderer made with the current context, if one was; the `gl` renderer needs none.
std::unique_ptr<Renderer> installed;

} // namespace

Renderer::~Renderer() = default;

const char* RendererName(RendererKind kind)
{
    return kind == RendererKind::Gles2 ? "gles2" : "gl";
}

bool ParseRendererName(const std::string& text, RendererKind& kind)
{
    if (text == "gl")
        kind = RendererKind::Gl;
    else if (text == "gles2")
        kind = RendererKind::Gles2;
    else
        return false;
    return true;
}

Renderer& ActiveRenderer()
{
    static GlRenderer fixedFunction;
    return installed ? *installed : fixedFunction;
}

bool InstallRenderer(RendererKind kind, std::string& error)
{
    installed.reset();
    if (kind == RendererKind::Gl)
        return true;
    std::unique_ptr<Gles2Renderer> shaders = Gles2Renderer::create(error);
    if (!shaders)
        return false;
    installed = std::move(shaders);
    return true;
}

void RemoveRenderer()
{
    installed.reset();
}

#include "render/render_mode.h"

#include "app/gl.h"
#include "render/dual_map_mode.h"
#include "render/line_mode.h"
#include "render/sphere_map_mode.h"
#include "render/texture_mode.h"


RenderMode::~RenderMode() = default;

void RenderMode::beginTranslucency() const
{
    if (alpha >= 1.0f)
        return;
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glDisable(GL_CULL_FACE);
}

std::unique_ptr<RenderMode> CreateRenderMode(uint32_t kind)
{
    switch (kind) {
    case 1:
        return std::make_unique<LineMode>();
    case 8:
        return std::make_unique<TextureMode>();
    case 16:
        return std::make_unique<SphereMapMode>();
    case 24:
        return std::make_unique<DualMapMode>();
    default:
        return nullptr;
    }
}

#include "render/render_mode.h"

#include "gpu/renderer.h"
#include "render/dual_map_mode.h"
#include "render/line_mode.h"
#include "render/sphere_map_mode.h"
#include "render/texture_mode.h"

RenderMode::~RenderMode() = default;

void RenderMode::beginTranslucency() const
{
    Renderer& r = ActiveRenderer();
    if (alpha >= 1.0f)
        return;
    r.enable(GL_BLEND);
    r.depthMask(GL_FALSE);
    r.blendFunc(GL_SRC_ALPHA, GL_ONE);
    r.color4f(1.0f, 1.0f, 1.0f, alpha);
    r.disable(GL_CULL_FACE);
}

void RenderMode::endTranslucency() const
{
    Renderer& r = ActiveRenderer();
    if (alpha < 1.0f)
        r.disable(GL_BLEND);
    r.depthMask(GL_TRUE);
}

void RenderMode::enableArrays(const Vector3Array& vertices, const Vector3Array& normals)
{
    Renderer& r = ActiveRenderer();
    r.enableClientState(GL_NORMAL_ARRAY);
    r.enableClientState(GL_VERTEX_ARRAY);
    r.normalPointer(normals.data());
    r.vertexPointer(vertices.data());
}

void RenderMode::disableArrays()
{
    Renderer& r = ActiveRenderer();
    r.disableClientState(GL_VERTEX_ARRAY);
    r.disableClientState(GL_NORMAL_ARRAY);
}

void RenderMode::drawTexturedFaces(const GrowableArray<Face>& faces)
{
    Renderer& r = ActiveRenderer();
    r.begin(GL_TRIANGLES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            r.multiTexCoord2f(GL_TEXTURE0_ARB, corner.s, corner.t);
            r.arrayElement(corner.vertex);
        }
    r.end();
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

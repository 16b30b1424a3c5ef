#include "render/render_mode.h"

#include "app/gl.h"
#include "app/gl_extensions.h"
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

void RenderMode::endTranslucency() const
{
    if (alpha < 1.0f)
        glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

void RenderMode::enableArrays(const Vector3Array& vertices, const Vector3Array& normals)
{
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
}

void RenderMode::disableArrays()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void RenderMode::drawTexturedFaces(const GrowableArray<Face>& faces)
{
    glBegin(GL_TRIANGLES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            ext::glMultiTexCoord2fARB(GL_TEXTURE0_ARB, corner.s, corner.t);
            glArrayElement(corner.vertex);
        }
    glEnd();
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

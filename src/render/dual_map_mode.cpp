#include "render/dual_map_mode.h"

#include "gpu/renderer.h"

void DualMapMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                       const Vector3Array& normals) const
{
    Renderer& r = ActiveRenderer();
    r.polygonMode(GL_FRONT, GL_FILL);
    r.enable(GL_CULL_FACE);
    r.activeTexture(GL_TEXTURE0_ARB);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture(0));
    // Both units keep the default modulate environment: the sphere map tints the texture.
    r.activeTexture(GL_TEXTURE1_ARB);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture(1));
    r.texGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    r.texGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    r.enable(GL_TEXTURE_GEN_S);
    r.enable(GL_TEXTURE_GEN_T);
    beginTranslucency();
    enableArrays(vertices, normals);

    drawTexturedFaces(faces);

    r.activeTexture(GL_TEXTURE0_ARB);
    r.disable(GL_TEXTURE_2D);
    r.activeTexture(GL_TEXTURE1_ARB);
    r.disable(GL_TEXTURE_2D);
    r.disable(GL_TEXTURE_GEN_S);
    r.disable(GL_TEXTURE_GEN_T);
    disableArrays();
    endTranslucency();
    r.disable(GL_CULL_FACE);
}

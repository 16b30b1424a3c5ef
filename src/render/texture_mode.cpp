#include "render/texture_mode.h"

#include "gpu/renderer.h"

void TextureMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                       const Vector3Array& normals) const
{
    Renderer& r = ActiveRenderer();
    r.activeTexture(GL_TEXTURE0_ARB);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture(0));
    r.polygonMode(GL_FRONT, GL_FILL);
    r.enable(GL_CULL_FACE);
    enableArrays(vertices, normals);
    beginTranslucency();

    drawTexturedFaces(faces);

    endTranslucency();
    disableArrays();
    r.disable(GL_CULL_FACE);
    r.disable(GL_TEXTURE_2D);
}

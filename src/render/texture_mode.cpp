#include "render/texture_mode.h"

#include "app/gl.h"
#include "app/gl_extensions.h"

void TextureMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                       const Vector3Array& normals) const
{
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture(0));
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    enableArrays(vertices, normals);
    beginTranslucency();

    drawTexturedFaces(faces);

    endTranslucency();
    disableArrays();
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
}

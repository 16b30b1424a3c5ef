#include "render/dual_map_mode.h"

#include "app/gl.h"
#include "app/gl_extensions.h"

void DualMapMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                       const Vector3Array& normals) const
{
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture(0));
    // Both units keep the default modulate environment: the sphere map tints the texture.
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture(1));
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    beginTranslucency();
    enableArrays(vertices, normals);

    drawTexturedFaces(faces);

    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    ext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    disableArrays();
    endTranslucency();
    glDisable(GL_CULL_FACE);
}

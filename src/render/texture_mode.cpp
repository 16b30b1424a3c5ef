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
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    beginTranslucency();

    glBegin(GL_TRIANGLES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            ext::glMultiTexCoord2fARB(GL_TEXTURE0_ARB, corner.s, corner.t);
            glArrayElement(corner.vertex);
        }
    glEnd();

    if (alpha < 1.0f)
        glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
}

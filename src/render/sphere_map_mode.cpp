#include "render/sphere_map_mode.h"

#include "app/gl.h"
#include "app/gl_extensions.h"

void SphereMapMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                         const Vector3Array& normals) const
{
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    // Deliberate: front faces stay culled for whatever draws next, until another mode
    // sets it back (RenderModeTest.OpaqueModesCullBackFacesUntilASphereMapChangesItToFront).
    glCullFace(GL_FRONT);
    ext::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture(0));
    beginTranslucency();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    glBegin(GL_TRIANGLES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            glNormal3fv(&normals[corner.vertex].x);
            glArrayElement(corner.vertex);
        }
    glEnd();

    glDisable(GL_NORMALIZE);
    endTranslucency();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    disableArrays();
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
}

#include "render/sphere_map_mode.h"

#include "gpu/renderer.h"

void SphereMapMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces,
                         const Vector3Array& normals) const
{
    Renderer& r = ActiveRenderer();
    r.polygonMode(GL_FRONT, GL_FILL);
    r.enable(GL_CULL_FACE);
    r.enable(GL_NORMALIZE);
    // Deliberate: front faces stay culled for whatever draws next, until another mode
    // sets it back (RenderModeTest.OpaqueModesCullBackFacesUntilASphereMapChangesItToFront).
    r.cullFace(GL_FRONT);
    r.activeTexture(GL_TEXTURE0_ARB);
    r.enable(GL_TEXTURE_2D);
    r.bindTexture(texture(0));
    beginTranslucency();
    r.enableClientState(GL_VERTEX_ARRAY);
    r.vertexPointer(vertices.data());
    r.texGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    r.texGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    r.enable(GL_TEXTURE_GEN_S);
    r.enable(GL_TEXTURE_GEN_T);

    r.begin(GL_TRIANGLES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            r.normal3fv(&normals[corner.vertex].x);
            r.arrayElement(corner.vertex);
        }
    r.end();

    r.disable(GL_NORMALIZE);
    endTranslucency();
    r.disable(GL_TEXTURE_GEN_S);
    r.disable(GL_TEXTURE_GEN_T);
    disableArrays();
    r.disable(GL_CULL_FACE);
    r.disable(GL_TEXTURE_2D);
}

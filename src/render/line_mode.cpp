#include "render/line_mode.h"

#include "gpu/renderer.h"

void LineMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces, const Vector3Array&) const
{
    Renderer& r = ActiveRenderer();
    // Deliberate: texturing is left as it was, so the white lines take the colour of the
    // texture still bound (RenderModeTest.LinesAreTintedByTheTextureLeftBound).
    r.color4f(1.0f, 1.0f, 1.0f, 1.0f);
    r.begin(GL_LINES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            const Vector3& v = vertices[corner.vertex];
            r.vertex3f(v.x, v.y, v.z);
        }
    r.end();
}

#include "render/line_mode.h"

#include "app/gl.h"

void LineMode::draw(const Vector3Array& vertices, const GrowableArray<Face>& faces, const Vector3Array&) const
{
    // Deliberate: texturing is left as it was, so the white lines take the colour of the
    // texture still bound (RenderModeTest.LinesAreTintedByTheTextureLeftBound).
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    for (const Face& face : faces)
        for (const FaceCorner& corner : face.corners) {
            const Vector3& v = vertices[corner.vertex];
            glVertex3f(v.x, v.y, v.z);
        }
    glEnd();
}

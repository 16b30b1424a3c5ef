#include "scene/view_volume.h"

#include "graph/camera_node.h"
#include "graph/mesh_node.h"
#include "scene/scene.h"

#include <cmath>

namespace {

// The eye's frame and the volume's slopes, in double so that distant vertices stay exact.
struct Volume {
    double eye[3], forward[3], side[3], up[3];
    double high, wide, nearest, farthest;

    bool holds(const Vector3& p) const
    {
        const double d[3] = {p.x - eye[0], p.y - eye[1], p.z - eye[2]};
        const double depth = d[0] * forward[0] + d[1] * forward[1] + d[2] * forward[2];
        if (!(depth >= nearest && depth <= farthest))
            return false;
        const double x = d[0] * side[0] + d[1] * side[1] + d[2] * side[2];
        const double y = d[0] * up[0] + d[1] * up[1] + d[2] * up[2];
        return std::fabs(x) <= depth * wide && std::fabs(y) <= depth * high;
    }
};

void unit(double v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i)
        v[i] = length > 0 ? v[i] / length : 0;
}

Vector3 applied(const Matrix4& m, const Vector3& p)
{
    return Vector3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                   m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

// Evaluates the nodes below node at time, their matrices composed as the frame composes
// them; true at the first shown mesh vertex inside the volume.
bool seenBelow(Node& node, const Matrix4& above, float time, const Volume& volume, bool& anyVertex)
{
    for (const std::unique_ptr<Node>& child : node.children) {
        const bool shown = child->evaluate(time, true);
        const Matrix4 world = above * child->matrix;
        if (shown && child->kind == NodeKind::Mesh) {
            const Vector3Array& vertices = static_cast<MeshNode&>(*child).currentVertices();
            for (int i = 0; i < vertices.size(); ++i) {
                anyVertex = true;
                if (volume.holds(applied(world, vertices[i])))
                    return true;
            }
        }
        if (seenBelow(*child, world, time, volume, anyVertex))
            return true;
    }
    return false;
}

} // namespace

bool SeesAnyVertex(Scene& scene, const CameraLook& look, float time, bool& anyVertex)
{
    Volume volume;
    volume.eye[0] = look.eye.x, volume.eye[1] = look.eye.y, volume.eye[2] = look.eye.z;
    double* f = volume.forward;
    f[0] = double(look.centre.x) - look.eye.x, f[1] = double(look.centre.y) - look.eye.y;
    f[2] = double(look.centre.z) - look.eye.z;
    unit(f);
    const double up[3] = {look.up.x, look.up.y, look.up.z};
    double* s = volume.side;
    s[0] = f[1] * up[2] - f[2] * up[1], s[1] = f[2] * up[0] - f[0] * up[2], s[2] = f[0] * up[1] - f[1] * up[0];
    unit(s);
    double* u = volume.up;
    u[0] = s[1] * f[2] - s[2] * f[1], u[1] = s[2] * f[0] - s[0] * f[2], u[2] = s[0] * f[1] - s[1] * f[0];
    volume.high = std::tan(look.fieldOfViewDegrees * 3.14159265358979323846 / 360);
    volume.wide = volume.high * FixedAspect;
    volume.nearest = static_cast<double>(static_cast<float>(NearPlane));
    volume.farthest = FarPlane;
    anyVertex = false;
    return seenBelow(scene, Matrix4::identity(), time, volume, anyVertex);
}

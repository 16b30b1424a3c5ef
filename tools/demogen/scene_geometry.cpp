#include "scene_geometry.h"

#include <cmath>
#include <utility>

namespace {

constexpr float Pi = 3.14159265358979f;

// Shading faces reach this far from their vertex, so that their area (the weight of a
// face in a vertex normal) dwarfs that of any drawn triangle of the show.
constexpr float ShadingReach = 40.0f;

Vector3 axisPoint(Vector3 centre, Vector3 u, Vector3 v, float radius, float angle)
{
    return centre + (u * std::cos(angle) + v * std::sin(angle)) * radius;
}

} // namespace

void Mesh::append(const Mesh& other)
{
    int32_t base = int32_t(vertices.size());
    vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
    auto shifted = [base](FaceSpec face) {
        for (CornerSpec& corner : face.corners)
            corner.vertex += base;
        return face;
    };
    for (const FaceSpec& face : other.faces)
        faces.push_back(shifted(face));
    for (const FaceSpec& face : other.shadingFaces)
        shadingFaces.push_back(shifted(face));
}

Mesh surface(int aSteps, int bSteps, bool aWraps, bool bWraps, bool pinnedEnds,
             const SurfacePoint& point, TextureRepeat repeat)
{
    Mesh mesh;
    // index[i][j]: the vertex at a = i / aSteps, b = j / bSteps.
    std::vector<std::vector<int32_t>> index(size_t(aSteps + 1), std::vector<int32_t>(size_t(bSteps + 1)));
    for (int i = 0; i <= aSteps; ++i) {
        for (int j = 0; j <= bSteps; ++j) {
            int32_t& slot = index[size_t(i)][size_t(j)];
            if (aWraps && i == aSteps) {
                slot = index[0][size_t(j)];
            } else if (bWraps && j == bSteps) {
                slot = index[size_t(i)][0];
            } else if (pinnedEnds && (i == 0 || i == aSteps) && j > 0) {
                slot = index[size_t(i)][0];
            } else {
                slot = int32_t(mesh.vertices.size());
                mesh.vertices.push_back(point(float(i) / float(aSteps), float(j) / float(bSteps)));
            }
        }
    }
    auto corner = [&](int i, int j) {
        return CornerSpec{index[size_t(i)][size_t(j)], float(i) / float(aSteps) * repeat.s,
                          float(j) / float(bSteps) * repeat.t};
    };
    auto addTriangle = [&](CornerSpec a, CornerSpec b, CornerSpec c) {
        if (a.vertex != b.vertex && b.vertex != c.vertex && a.vertex != c.vertex)
            mesh.faces.push_back(FaceSpec{{a, b, c}});
    };
    for (int i = 0; i < aSteps; ++i) {
        for (int j = 0; j < bSteps; ++j) {
            addTriangle(corner(i, j), corner(i + 1, j), corner(i + 1, j + 1));
            addTriangle(corner(i, j), corner(i + 1, j + 1), corner(i, j + 1));
        }
    }
    return mesh;
}

Mesh sphere(float radius, int rings, int segments, TextureRepeat repeat)
{
    // From the north pole (a = 0) southwards, then round the Z axis; the texture runs the
    // other way round, s with b and t with a.
    Mesh mesh = surface(rings, segments, false, true, true, [radius](float a, float b) {
        float polar = Pi * a;
        float around = 2.0f * Pi * b;
        return Vector3(std::sin(polar) * std::cos(around), std::sin(polar) * std::sin(around),
                       std::cos(polar)) * radius;
    }, {repeat.t, repeat.s});
    for (FaceSpec& face : mesh.faces) {
        for (CornerSpec& corner : face.corners)
            std::swap(corner.s, corner.t);
    }
    return mesh;
}

Mesh torus(float ringRadius, float tubeRadius, int ringSteps, int tubeSteps, TextureRepeat repeat)
{
    return surface(ringSteps, tubeSteps, true, true, false, [=](float a, float b) {
        float along = 2.0f * Pi * a;
        float around = 2.0f * Pi * b;
        float reach = ringRadius + tubeRadius * std::cos(around);
        return Vector3(reach * std::cos(along), reach * std::sin(along), tubeRadius * std::sin(around));
    }, repeat);
}

Mesh tunnel(float radius, float top, float length, int sides, int rings, TextureRepeat repeat)
{
    // Round the axis first, then downwards: the normals point inwards.
    return surface(sides, rings, true, false, false, [=](float a, float b) {
        float around = 2.0f * Pi * a;
        return Vector3(radius * std::cos(around), radius * std::sin(around), top - length * b);
    }, repeat);
}

Mesh box(Vector3 half)
{
    // Each side: its outward normal n and two edge directions e1, e2 with e1 x e2 = n.
    struct Side {
        Vector3 n, e1, e2;
    };
    const Side sides[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    Mesh mesh;
    for (const Side& side : sides) {
        mesh.append(surface(1, 1, false, false, false, [&](float a, float b) {
            return (side.n + side.e1 * (2.0f * a - 1.0f) + side.e2 * (2.0f * b - 1.0f)) * half;
        }));
    }
    return mesh;
}

Mesh floorGrid(float width, float depth, int columns, int rows, float repeat)
{
    return surface(columns, rows, false, false, false, [=](float a, float b) {
        return Vector3(width * (a - 0.5f), depth * (b - 0.5f), 0.0f);
    }, {repeat, repeat * depth / width});
}

Mesh glowSprite(float radius)
{
    const Vector3 axes[3][2] = {{{1, 0, 0}, {0, 1, 0}}, {{1, 0, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}}};
    Mesh mesh;
    for (const auto& axis : axes) {
        mesh.append(surface(1, 1, false, false, false, [&](float a, float b) {
            return (axis[0] * (2.0f * a - 1.0f) + axis[1] * (2.0f * b - 1.0f)) * radius;
        }));
    }
    return mesh;
}

Mesh disc(float radius, int steps)
{
    Mesh mesh;
    mesh.vertices.push_back({});
    for (int j = 0; j < steps; ++j) {
        float angle = 2.0f * Pi * float(j) / float(steps);
        mesh.vertices.push_back(Vector3(std::cos(angle), std::sin(angle), 0.0f) * radius);
    }
    auto corner = [&](int32_t vertex) {
        const Vector3& v = mesh.vertices[size_t(vertex)];
        return CornerSpec{vertex, 0.5f + 0.5f * v.x / radius, 0.5f + 0.5f * v.y / radius};
    };
    for (int j = 0; j < steps; ++j)
        mesh.faces.push_back(FaceSpec{{corner(0), corner(1 + j), corner(1 + (j + 1) % steps)}});
    return mesh;
}

Mesh glowCard(float radius)
{
    return surface(1, 1, false, false, false, [radius](float a, float b) {
        return Vector3(2.0f * a - 1.0f, 0.0f, 2.0f * b - 1.0f) * radius;
    });
}

Mesh lineSegments(const std::vector<Vector3>& endpoints)
{
    Mesh mesh;
    mesh.vertices = endpoints;
    std::vector<int32_t> corners;
    for (size_t i = 0; i < endpoints.size(); ++i)
        corners.push_back(int32_t(i));
    // Whole triangles only: pad with segments of no length at the last endpoint.
    while (!corners.empty() && corners.size() % 3 != 0) {
        corners.push_back(corners.back());
        corners.push_back(corners.back());
    }
    for (size_t i = 0; i < corners.size(); i += 3) {
        mesh.faces.push_back(FaceSpec{{{corners[i], 0.0f, 0.0f},
                                       {corners[i + 1], 0.0f, 0.0f},
                                       {corners[i + 2], 0.0f, 0.0f}}});
    }
    return mesh;
}

void addCircle(std::vector<Vector3>& endpoints, Vector3 centre, Vector3 u, Vector3 v, float radius,
               int steps)
{
    for (int k = 0; k < steps; ++k) {
        endpoints.push_back(axisPoint(centre, u, v, radius, 2.0f * Pi * float(k) / float(steps)));
        endpoints.push_back(axisPoint(centre, u, v, radius, 2.0f * Pi * float(k + 1) / float(steps)));
    }
}

void shadeTowards(Mesh& mesh, Vector3 point)
{
    size_t count = mesh.vertices.size();
    for (size_t i = 0; i < count; ++i) {
        Vector3 at = mesh.vertices[i];
        Vector3 offset = point - at;
        if (length(offset) < 1e-6f)
            continue;
        Vector3 d = normalised(offset);
        // Two edges e1, e2 across d with e1 x e2 = d: the face (at, at + e1, at + e2)
        // then has its normal along d.
        Vector3 helper = std::fabs(d.x) < 0.6f ? Vector3(1, 0, 0) : Vector3(0, 1, 0);
        Vector3 e1 = normalised(cross(d, helper));
        Vector3 e2 = cross(d, e1);
        int32_t first = int32_t(mesh.vertices.size());
        mesh.vertices.push_back(at + e1 * ShadingReach);
        mesh.vertices.push_back(at + e2 * ShadingReach);
        mesh.shadingFaces.push_back(
            FaceSpec{{{int32_t(i), 0.0f, 0.0f}, {first, 0.0f, 0.0f}, {first + 1, 0.0f, 0.0f}}});
    }
}

void turnInsideOut(Mesh& mesh)
{
    for (FaceSpec& face : mesh.faces)
        std::swap(face.corners[1], face.corners[2]);
}

void moveMesh(Mesh& mesh, Vector3 offset)
{
    for (Vector3& v : mesh.vertices)
        v += offset;
}

void scaleMesh(Mesh& mesh, Vector3 factors)
{
    for (Vector3& v : mesh.vertices)
        v = v * factors;
}

void turnMesh(Mesh& mesh, Vector3 axis, float radians)
{
    for (Vector3& v : mesh.vertices)
        v = turned(v, axis, radians);
}

float length(Vector3 v)
{
    return std::sqrt(dot(v, v));
}

Vector3 normalised(Vector3 v)
{
    float l = length(v);
    return l > 0.0f ? v * (1.0f / l) : v;
}

Vector3 turned(Vector3 v, Vector3 axis, float radians)
{
    float c = std::cos(radians);
    float s = std::sin(radians);
    return v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1.0f - c));
}

// Runs a loaded scene through everything a frame computes short of drawing, for the
// robustness tests and the scene reader's fuzzing.
#pragma once

#include "graph/camera_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "scene/scene.h"

#include <cstddef>
#include <string>

namespace workout {

// The node's own extra tracks and data that the draw passes read: camera field of view and
// roll, the spot's scalar tracks, a mesh's current vertices and its groups' materials.
inline float touchNode(Node& node, float time)
{
    float sum = 0.0f;
    switch (node.kind) {
    case NodeKind::Camera: {
        auto& camera = static_cast<CameraNode&>(node);
        sum += camera.fovTrack.evaluate(time) + camera.rollTrack.evaluate(time);
        if (camera.target)
            sum += camera.target->position.x;
        break;
    }
    case NodeKind::Spot: {
        auto& spot = static_cast<SpotNode&>(node);
        sum += spot.firstTrack.evaluate(time) + spot.secondTrack.evaluate(time);
        break;
    }
    case NodeKind::Mesh: {
        auto& mesh = static_cast<MeshNode&>(node);
        const Vector3Array& vertices = mesh.currentVertices();
        for (const Vector3& v : vertices)
            sum += v.x + v.y + v.z;
        for (const auto& group : mesh.faceGroups) {
            for (const Face& face : group->faces)
                for (const FaceCorner& corner : face.corners)
                    sum += vertices[corner.vertex].x + mesh.normals[corner.vertex].y + corner.s;
            if (group->material)
                sum += group->material->alpha();
        }
        break;
    }
    default:
        break;
    }
    for (auto& child : node.children)
        sum += touchNode(*child, time);
    return sum;
}

} // namespace workout

// Evaluates every node at a run of demo times (forwards, then jumping back), reads what the
// draw passes would read, and resolves every material's texture names. Returns a sum of
// what it saw so that none of the work can be left out.
inline float workOutScene(Scene& scene)
{
    static const float times[] = {-10.0f, 0.0f, 0.5f, 7.25f, 15.0f, 29.99f, 30.0f, 61.0f,
                                  1000.0f, 1.0e7f, 3.0f, 0.0f};
    float sum = 0.0f;
    for (float time : times) {
        scene.evaluateNodes(time);
        sum += workout::touchNode(scene, time);
    }
    size_t names = 0;
    for (const auto& material : scene.materials)
        for (const MaterialMap& map : material->maps)
            if (map.present())
                names += map.textureName().size() + map.fallbackTextureName().size();
    if (Node* found = scene.findNodeByName("camera"))
        sum += found->position.y;
    return sum + static_cast<float>(names);
}

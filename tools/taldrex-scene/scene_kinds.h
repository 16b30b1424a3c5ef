// Names of the node kinds, as the taldrex-scene commands print them.
#pragma once

#include "graph/node.h"

inline const char* kindName(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Scene: return "scene";
    case NodeKind::Mesh: return "mesh";
    case NodeKind::Camera: return "camera";
    case NodeKind::Target: return "target";
    case NodeKind::Spot: return "spot";
    case NodeKind::Light: return "light";
    case NodeKind::Transform: return "transform";
    }
    return "?";
}

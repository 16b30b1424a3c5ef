// An independent picture of a glTF model for judging the player's frames: the model read
// with tinygltf and evaluated here (accessors, sparse values, STEP/LINEAR/CUBICSPLINE
// channels, morph targets, skins, mirrored nodes, double-sided materials, instances), its triangles
// projected through a camera the player used and filled at pixel centres. Nothing of the
// importer is used, so a fault there cannot hide itself.
#pragma once

#include "graph/camera_node.h"

#include <tiny_gltf.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace reference {

using V3 = std::array<double, 3>;
using M4 = std::array<double, 16>; // column-major

// The identity, the product a x b, and p moved by m: the little matrix algebra of glTF's
// node transforms, for the other tests that evaluate a model on their own.
M4 identity();
M4 mul(const M4& a, const M4& b);
V3 apply(const M4& m, const V3& p);

// One triangle as glTF shows it, in the player's axes (Z up): its corners ordered so that
// the front face is counter-clockwise, and whether its back face is hidden.
struct Triangle {
    std::array<V3, 3> corners;
    bool culled = true;
};

// Where a camera node stands and looks, in the player's axes.
struct Pose {
    V3 eye, forward, up;
};

class GltfModel {
public:
    // Reads the .gltf or .glb file; loaded() is false, with problem saying why, when it
    // cannot be read.
    explicit GltfModel(const std::string& path);
    bool loaded() const { return loaded_; }
    const std::string& problem() const { return problem_; }

    // The triangles of the default scene at time seconds of the first animation, every
    // point multiplied by scale. Lines and points are left out (they have no silhouette).
    std::vector<Triangle> triangles(double time, double scale = 1.0) const;
    // The camera node's pose at time (its -Z the view, its +Y up), positions multiplied by scale.
    Pose cameraPose(int node, double time, double scale = 1.0) const;

private:
    std::vector<double> read(int accessor) const;
    std::vector<double> animated(int node, const char* path, double time, std::vector<double> rest) const;
    M4 local(int node, double time) const;
    M4 world(int node, double time) const;
    std::vector<M4> placesOf(int node, double time) const;
    void addMesh(int node, const M4& placed, double time, double scale, std::vector<Triangle>& out) const;

    tinygltf::Model model_;
    std::vector<int> parent_;
    bool loaded_ = false;
    std::string problem_;
};

// Which pixels of a width x height picture a silhouette covers, rows from the top.
struct Mask {
    int width = 0, height = 0;
    std::vector<uint8_t> covered;
    size_t count() const;
};

// The triangles as the player's camera look projects them (its field of view at the
// player's fixed picture shape, filling the picture), with no far plane and a near plane
// close to the eye: what a viewer fitted to the model would show. Back faces of culled
// triangles are left out.
Mask Project(const std::vector<Triangle>& triangles, const CameraLook& look, int width, int height);

// The triangles as an orthographic camera at pose draws them: halfHeight units from the
// middle to the top of the picture, FixedAspect times that to its side. Nothing is clipped
// by depth.
Mask ProjectOrthographic(const std::vector<Triangle>& triangles, const Pose& pose, double halfHeight, int width,
                         int height);

// The pixels of an RGBA picture that are not black.
Mask Drawn(const std::vector<uint8_t>& rgba, int width, int height);

// Pixels in both over pixels in either; 1 when neither covers any.
double IntersectionOverUnion(const Mask& a, const Mask& b);

// Which of red (0), green (1), blue (2) and white (3) a drawn RGBA pixel shows, whatever
// the light made of its brightness; -1 for the background.
int PrimaryColourOf(const uint8_t* rgba);

// The share of the pixels the masks cover where the RGBA picture's pixel, classified,
// is the index of its mask; 0 when the masks cover none.
double MaskAgreement(const std::vector<uint8_t>& rgba, const std::vector<Mask>& masks,
                     int (*classify)(const uint8_t*));

} // namespace reference

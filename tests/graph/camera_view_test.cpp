// The camera's picture: where things land, the fixed aspect, roll, the degenerate views and
// the scenes that cannot be viewed at all.
#include "draw_scene.h"

#include "graph/camera_node.h"

using namespace draw;

namespace {

const Vector3 X(1, 0, 0);
const Vector3 Y(0, 1, 0);
const Vector3 Z(0, 0, 1);

// Counts the lit pixels along row y (or column x when vertical).
int litRun(const GlTestContext& gl, int at, bool vertical, int width, int height)
{
    int lit = 0;
    for (int i = 0; i < (vertical ? height : width); ++i)
        lit += (vertical ? gl.pixel(at, i) : gl.pixel(i, at)) >> 8 ? 1 : 0;
    return lit;
}

class CameraView : public DrawTest {};

} // namespace

TEST_F(CameraView, KnownCameraAndTargetPutAnObjectAtItsProjectedPlace)
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -10, 0}, {0, 0, 0});
    spec.nodes.push_back(square("dot", {2, 0, 1}, X, Z, 0.2f));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    frame(*scene);
    int x = pixelX(2, 10);
    int y = pixelY(1, 10);
    EXPECT_EQ(rgb(x, y), 0xffffffu) << x << "," << y;
    // Right of and above the middle, not mirrored.
    EXPECT_EQ(rgb(bandWidth - 1 - x, y), 0u);
    EXPECT_EQ(rgb(x, bandHeight - 1 - y), 0u);
    EXPECT_EQ(rgb(x - 8, y), 0u);
}

TEST_F(CameraView, AspectIsAlways83To65WhateverTheBand)
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -10, 0}, {0, 0, 0});
    spec.nodes.push_back(square("square", {0, 0, 0}, X, Z, 3.0f));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);

    frame(*scene);
    int width = litRun(gl, bandHeight / 2, false, bandWidth, bandHeight);
    int height = litRun(gl, bandWidth / 2, true, bandWidth, bandHeight);
    EXPECT_NEAR(width, pixelX(3, 10) - pixelX(-3, 10), 2);
    EXPECT_NEAR(height, pixelY(3, 10) - pixelY(-3, 10), 2);
    // Stretched to the 16:9 band: a square shows 16/9 / (83/65) times as wide as high.
    EXPECT_NEAR(double(width) / height, (16.0 / 9.0) / (83.0 / 65.0), 0.06);

    // A square band squeezes the same square horizontally; its height does not change.
    RenderSceneAt(*scene, 0.0f, bandHeight, bandHeight);
    int squareWidth = litRun(gl, bandHeight / 2, false, bandHeight, bandHeight);
    EXPECT_NEAR(squareWidth, pixelX(3, 10, bandHeight) - pixelX(-3, 10, bandHeight), 2);
    EXPECT_NEAR(litRun(gl, bandHeight / 2, true, bandHeight, bandHeight), height, 1);
}

TEST_F(CameraView, RollTurnsThePictureOnlyWhenLookingDown)
{
    const float quarter = 1.5707964f;
    auto picture = [&](Vector3 eye, float roll) {
        SceneSpec spec;
        addCamera(spec.nodes, "cam", eye, {0, 0, 0}, roll);
        spec.nodes.push_back(square("dot", {2, 0, 0}, X, Y, 0.3f, 0, true));
        spec.nodes.push_back(square("dot", {2, 0, 0}, X, Z, 0.3f, 0, true));
        spec.materials.push_back(surface(1.0f));
        auto scene = load(spec);
        frame(*scene);
        return gl.readPixels();
    };
    // Looking down (almost along -Z): up is +Y, so +X shows right of the middle ...
    picture({0, -0.01f, 10}, 0.0f);
    EXPECT_EQ(rgb(pixelX(2, 10), bandHeight / 2), 0xffffffu);
    // ... and a quarter roll turns up to -X, so +X shows below the middle.
    picture({0, -0.01f, 10}, quarter);
    EXPECT_EQ(rgb(pixelX(2, 10), bandHeight / 2), 0u);
    EXPECT_EQ(rgb(bandWidth / 2, pixelY(-2, 10)), 0xffffffu);

    // Level, up is +Z and stays so whatever the roll.
    std::vector<uint8_t> level = picture({0, -10, 0}, 0.0f);
    EXPECT_EQ(rgb(pixelX(2, 10), bandHeight / 2), 0xffffffu);
    EXPECT_EQ(picture({0, -10, 0}, quarter), level);
}

TEST_F(CameraView, StraightDownTheZAxisUsesXAsTheSideVector)
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, 0, 10}, {0, 0, 0});
    spec.nodes.push_back(square("dot", {2, 0, 0}, X, Y, 0.3f));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    frame(*scene);
    EXPECT_EQ(rgb(pixelX(2, 10), bandHeight / 2), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(-2, 10), bandHeight / 2), 0u);
}

TEST_F(CameraView, TheCameraSetByNameIsTheOneViewedThrough)
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -10, 0}, {0, 0, 0});
    addCamera(spec.nodes, "cam2", {0, 10, 0}, {0, 0, 0}); // from the other side
    spec.nodes.push_back(square("dot", {2, 0, 0}, X, Z, 0.3f, 0, true));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    ASSERT_EQ(scene->camera->name, "cam2"); // the last camera, until a part names one
    frame(*scene);
    EXPECT_EQ(rgb(pixelX(-2, 10), bandHeight / 2), 0xffffffu);

    Node* found = scene->findNodeByName("cam");
    ASSERT_EQ(found, scene->children[0].get()); // the camera comes before its target
    scene->camera = static_cast<CameraNode*>(found);
    frame(*scene);
    EXPECT_EQ(rgb(pixelX(2, 10), bandHeight / 2), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(-2, 10), bandHeight / 2), 0u);
}

TEST_F(CameraView, SceneWithoutAUsableCameraDrawsNothingAndFailsNothing)
{
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Camera, "lonely", {0, -10, 0})); // no target
    addCamera(spec.nodes, "onit", {0, 0, 0}, {0, 0, 0});                  // eye on the target
    spec.nodes.push_back(square("wall", {0, 0, 0}, X, Z, 50.0f, 0, true));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);

    ActiveRenderer().matrixMode(GL_PROJECTION);
    ActiveRenderer().loadIdentity();
    for (Node* camera : {static_cast<Node*>(nullptr), scene->children[0].get(), scene->children[1].get()}) {
        scene->camera = static_cast<CameraNode*>(camera);
        frame(*scene);
        std::vector<uint8_t> pixels = gl.readPixels();
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<long>(pixels.size()));
        if (!fixedFunction())
            continue;
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_EQ(projection[0], 1.0f); // untouched
    }
}

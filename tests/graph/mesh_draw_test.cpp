// Meshes in the frame: the pass each goes to, groups sharing faces, hidden meshes and their
// children, morphing, display lists, deep trees and the state a frame leaves.
#include "draw_scene.h"

#include "graph/mesh_node.h"

#include <algorithm>

using namespace draw;

namespace {

const Vector3 X(1, 0, 0);
const Vector3 Z(0, 0, 1);

// Every scene here is seen by a camera 10 units down -Y looking at the origin: x to the
// right, z up.
SceneSpec viewed()
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {0, -10, 0}, {0, 0, 0});
    return spec;
}

class MeshDraw : public DrawTest {
protected:
    // The depth buffer at (x, y); only desktop OpenGL reads depth back.
    float depthAt(int x, int y) const
    {
        GLfloat depth = -1.0f;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }
    const int middleX = bandWidth / 2;
    const int middleY = bandHeight / 2;
};

} // namespace

TEST_F(MeshDraw, TransparentMeshesAreDrawnAfterAllOpaqueOnesWhereverTheyStand)
{
    registerTexture("grey.jpg", 100, 100, 100);
    SceneSpec spec = viewed();
    // First in the tree and nearer the camera, but added on top of the wall behind it.
    spec.nodes.push_back(square("glass", {0, -2, 0}, X, Z, 1.0f, 1));
    spec.nodes.push_back(square("wall", {0, 0, 0}, X, Z, 3.0f, 0));
    spec.materials.push_back(surface(1.0f, "grey.jpg"));
    spec.materials.push_back(surface(0.5f));
    auto scene = load(spec);
    frame(*scene);
    EXPECT_NEAR(int(rgb(middleX, middleY) & 0xff), 100 + 128, 2);
    EXPECT_EQ(rgb(pixelX(2.5f, 10), middleY), 0x646464u);
}

TEST_F(MeshDraw, OneTranslucentGroupSendsTheWholeMeshToTheTransparentPass)
{
    SceneSpec spec = viewed();
    NodeSpec mixed = square("mixed", {0, 0, 0}, X, Z, 1.0f, 0);
    mixed.groups.push_back({1, {}}); // a translucent group without faces
    spec.nodes.push_back(mixed);
    spec.materials.push_back(surface(1.0f));
    spec.materials.push_back(surface(0.5f));
    auto scene = load(spec);
    EXPECT_TRUE(static_cast<MeshNode&>(*scene->findNodeByName("mixed")).transparent);
    frame(*scene);
    // Its opaque group is drawn, but with the transparent pass's depth writes off.
    EXPECT_EQ(rgb(middleX, middleY), 0xffffffu);
    if (fixedFunction()) {
        EXPECT_EQ(depthAt(middleX, middleY), 1.0f);
    }

    spec.nodes.back().groups.pop_back();
    auto opaque = load(spec);
    frame(*opaque);
    EXPECT_EQ(rgb(middleX, middleY), 0xffffffu);
    if (fixedFunction()) {
        EXPECT_LT(depthAt(middleX, middleY), 1.0f);
    }
}

TEST_F(MeshDraw, FaceNamedByTwoGroupsIsDrawnTwice)
{
    SceneSpec spec = viewed();
    NodeSpec twice = square("twice", {0, 0, 0}, X, Z, 1.0f, 0);
    twice.groups.push_back(twice.groups[0]);
    spec.nodes.push_back(twice);
    spec.nodes.push_back(square("once", {2.5f, 0, 0}, X, Z, 1.0f, 0));
    spec.materials.push_back(surface(0.25f));
    auto scene = load(spec);
    frame(*scene);
    EXPECT_NEAR(int(rgb(pixelX(2.5f, 10), middleY) & 0xff), 64, 1);
    EXPECT_NEAR(int(rgb(middleX, middleY) & 0xff), 128, 1);
}

TEST_F(MeshDraw, HiddenMeshDrawsNothingButItsChildrenDraw)
{
    SceneSpec spec = viewed();
    NodeSpec parent = square("parent", {-2, 0, 0}, X, Z, 0.5f);
    parent.position.keys.push_back({10, {-3, 0, 0}});
    parent.visibility = {3, 1000}; // hidden from frame 3
    parent.add(square("child", {4, 0, 0}, X, Z, 0.5f));
    spec.nodes.push_back(parent);
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    frame(*scene, 0.0f);
    EXPECT_EQ(rgb(pixelX(-2, 10), middleY), 0xffffffu);
    frame(*scene, 10.0f);
    EXPECT_EQ(rgb(pixelX(-2, 10), middleY), 0u);
    EXPECT_EQ(rgb(pixelX(2, 10), middleY), 0xffffffu); // under the parent's last matrix
}

TEST_F(MeshDraw, MorphingMeshDrawsItsBlendedPositionsAtTheFrameTime)
{
    SceneSpec spec = viewed();
    NodeSpec blob = square("blob", {0, 0, 0}, X, Z, 0.5f);
    std::vector<Vector3> left;
    std::vector<Vector3> right;
    for (const Vector3& v : blob.vertices) {
        left.push_back(v + Vector3(-2, 0, 0));
        right.push_back(v + Vector3(2, 0, 0));
    }
    blob.morph.keys = {{0, left}, {10, right}};
    spec.nodes.push_back(blob);
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    auto& mesh = static_cast<MeshNode&>(*scene->findNodeByName("blob"));
    EXPECT_FALSE(mesh.listBuilt);

    frame(*scene, 0.0f);
    EXPECT_EQ(rgb(pixelX(-2, 10), middleY), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(2, 10), middleY), 0u);
    frame(*scene, 5.0f);
    EXPECT_EQ(rgb(middleX, middleY), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(-2, 10), middleY), 0u);
    frame(*scene, 10.0f);
    EXPECT_EQ(rgb(pixelX(2, 10), middleY), 0xffffffu);
    EXPECT_EQ(rgb(middleX, middleY), 0u);
}

TEST_F(MeshDraw, StaticMeshReplaysTheDisplayListCompiledAtUpload)
{
    SceneSpec spec = viewed();
    spec.nodes.push_back(square("still", {0, 0, 0}, X, Z, 0.5f));
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    auto& mesh = static_cast<MeshNode&>(*scene->findNodeByName("still"));
    ASSERT_TRUE(mesh.listBuilt);
    if (fixedFunction()) {
        EXPECT_TRUE(glIsList(mesh.displayList));
    }
    // The list holds the positions it was compiled with.
    for (Vector3& v : mesh.vertices)
        v += Vector3(-2, 0, 0);
    frame(*scene);
    EXPECT_EQ(rgb(middleX, middleY), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(-2, 10), middleY), 0u);
}

TEST_F(MeshDraw, TreesDeeperThanTheMatrixStackDrawWhereTheyBelong)
{
    GLint stackDepth = 0;
    ActiveRenderer().getIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &stackDepth);
    SceneSpec spec = viewed();
    NodeSpec root = makeNode(NodeType::Transform, "level", {0.05f, 0, 0});
    NodeSpec* level = &root;
    for (int i = 1; i < stackDepth + 8; ++i)
        level = &level->add(makeNode(NodeType::Transform, "level", {0.05f, 0, 0}));
    level->add(square("deep", {0, 0, 0}, X, Z, 0.3f));
    spec.nodes.push_back(root);
    spec.nodes.push_back(square("shallow", {-1.5f, 0, 0}, X, Z, 0.3f)); // drawn after climbing back
    spec.materials.push_back(surface(1.0f));
    auto scene = load(spec);
    frame(*scene);
    float x = 0.05f * static_cast<float>(stackDepth + 8);
    EXPECT_EQ(rgb(pixelX(x, 10), middleY), 0xffffffu);
    EXPECT_EQ(rgb(pixelX(-1.5f, 10), middleY), 0xffffffu);
    EXPECT_EQ(rgb(middleX, middleY), 0u);
    GLint depth = 0;
    ActiveRenderer().getIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST_F(MeshDraw, SpotNodesChangeNothingInThePicture)
{
    SceneSpec spec = viewed();
    spec.nodes.push_back(square("wall", {0, 0, 0}, X, Z, 2.0f));
    spec.materials.push_back(surface(1.0f));
    auto plain = load(spec);
    frame(*plain);
    std::vector<uint8_t> without = gl.readPixels();

    NodeSpec spot = makeNode(NodeType::Spot, "beam", {0, -5, 0});
    spot.colour = {1, 0, 0};
    spot.add(square("under", {3, 0, 0}, X, Z, 0.3f)); // spots pass on an identity frame
    spec.nodes.push_back(spot);
    spec.nodes.push_back(makeNode(NodeType::Target, "beam"));
    auto withSpot = load(spec);
    frame(*withSpot);
    if (fixedFunction()) {
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    }
    EXPECT_EQ(rgb(pixelX(3, 10), middleY), 0xffffffu);
    std::vector<uint8_t> with = gl.readPixels();
    int changed = 0;
    for (size_t i = 0; i < with.size(); i += 4)
        changed += with[i] != without[i];
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 200); // only the small square under the spot
}

TEST_F(MeshDraw, AFrameOfEveryModeLightAndHierarchyLeavesTheFrameState)
{
    REQUIRE_FIXED_FUNCTION_STATE();
    registerTexture("skin.jpg", 200, 150, 100);
    registerTexture("chrome.png", 120, 160, 200);
    SceneSpec spec = viewed();
    NodeSpec rig = makeNode(NodeType::Transform, "rig");
    rig.rotation.keys = {{0, {1, 0, 0, 0}}, {20, {0.7071068f, 0, 0, 0.7071068f}}};
    rig.add(square("lines", {-2, 0, 1}, X, Z, 0.5f, 0));
    rig.add(square("textured", {0, 0, 1}, X, Z, 0.5f, 1));
    rig.add(square("sphere", {2, 0, 1}, X, Z, 0.5f, 2));
    NodeSpec dual = square("dual", {0, 0, -1}, X, Z, 0.5f, 3);
    dual.morph.keys = {{0, dual.vertices}, {10, {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}}}};
    rig.add(dual);
    rig.add(square("glass", {0, -1, 0}, X, Z, 2.0f, 4, true));
    NodeSpec lamp = makeNode(NodeType::Light, "lamp", {0, -3, 2});
    rig.add(lamp);
    spec.nodes.push_back(rig);
    addEveryModeMaterials(spec, "Chrome.bmp");
    auto scene = load(spec);

    for (float time : {0.0f, 4.5f, 12.0f}) {
        SCOPED_TRACE(time);
        frame(*scene, time);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
        GLboolean writes = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
        EXPECT_EQ(writes, GL_TRUE);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
        EXPECT_EQ(scene->activeLights, 1);
        std::vector<uint8_t> pixels = gl.readPixels();
        EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](uint8_t b) { return b > 0; }), 1000);
    }
}

// Lights in the frame: where they sit, their colour without fall-off, the units they take,
// the eight-light limit, the shading they switch on and what is left switched off.
#include "draw_scene.h"

#include "graph/light_node.h"

using namespace draw;

namespace {

const Vector3 Y(0, 1, 0);
const Vector3 Z(0, 0, 1);

// A camera far out on +X looking back at the origin (y to the right, z up) and a wall at
// the origin facing it.
SceneSpec litWall()
{
    SceneSpec spec;
    addCamera(spec.nodes, "cam", {40, 0, 0}, {0, 0, 0});
    spec.nodes.push_back(square("wall", {0, 0, 0}, Y, Z, 1.0f));
    spec.materials.push_back(surface(1.0f));
    return spec;
}

NodeSpec light(const std::string& name, Vector3 at, Vector3 colour = {1, 1, 1})
{
    NodeSpec node = makeNode(NodeType::Light, name, at);
    node.colour = colour;
    return node;
}

struct LightState {
    GLfloat position[4];
    GLfloat diffuse[4];
    GLfloat attenuation[3];
};

LightState lightState(int unit)
{
    LightState s{};
    GLenum light = GL_LIGHT0 + static_cast<GLenum>(unit);
    glGetLightfv(light, GL_POSITION, s.position);
    glGetLightfv(light, GL_DIFFUSE, s.diffuse);
    glGetLightfv(light, GL_CONSTANT_ATTENUATION, &s.attenuation[0]);
    glGetLightfv(light, GL_LINEAR_ATTENUATION, &s.attenuation[1]);
    glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &s.attenuation[2]);
    return s;
}

void expectPosition(const LightState& s, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(s.position[0], x);
    EXPECT_FLOAT_EQ(s.position[1], y);
    EXPECT_FLOAT_EQ(s.position[2], z);
    EXPECT_FLOAT_EQ(s.position[3], 1.0f);
}

class Lights : public DrawTest {
protected:
    uint32_t middle() const { return rgb(bandWidth / 2, bandHeight / 2); }
};

} // namespace

TEST_F(Lights, TopLevelLightSitsAtTwiceItsPositionAndCannotBeHidden)
{
    SceneSpec spec = litWall();
    NodeSpec lamp = light("lamp", {10, 0, 0});
    lamp.visibility = {0, 1000};
    spec.nodes.push_back(lamp);
    spec.nodes.push_back(square("pane", {15, 0, 0}, Y, Z, 0.5f)); // between (10,0,0) and (20,0,0)
    spec.nodes.back().position.keys[0].value = {15, 0, 5};
    auto scene = load(spec);
    frame(*scene, 5.0f);
    if (fixedFunction())
        expectPosition(lightState(0), 20, 0, 0);
    // Lit from the front: the light is beyond it, at 20.
    int x = pixelX(0, 25);
    int y = pixelY(5, 25);
    EXPECT_GT(rgb(x, y) & 0xff, 150u);
}

TEST_F(Lights, ColourBecomesTheDiffuseColourWithNoFallOff)
{
    auto wallLitFrom = [&](float x) {
        SceneSpec spec = litWall();
        spec.nodes.push_back(light("lamp", {x, 0, 0}, {0.5f, 0.25f, 1.0f}));
        auto scene = load(spec);
        frame(*scene);
        return middle();
    };
    uint32_t near = wallLitFrom(10.0f);
    if (fixedFunction()) {
        LightState s = lightState(0);
        EXPECT_EQ(s.diffuse[0], 0.5f);
        EXPECT_EQ(s.diffuse[1], 0.25f);
        EXPECT_EQ(s.diffuse[2], 1.0f);
        EXPECT_EQ(s.diffuse[3], 1.0f);
        EXPECT_EQ(s.attenuation[0], 1.0f);
        EXPECT_EQ(s.attenuation[1], 0.0f);
        EXPECT_EQ(s.attenuation[2], 0.0f);
    }
    // Material diffuse 0.8 times the colour, plus the default ambient 0.2 x 0.2.
    EXPECT_NEAR(int(near >> 16), 112, 2);
    EXPECT_NEAR(int((near >> 8) & 0xff), 61, 2);
    EXPECT_NEAR(int(near & 0xff), 214, 2);
    uint32_t far = wallLitFrom(30.0f); // at 60, behind the camera
    EXPECT_NEAR(int(far >> 16), int(near >> 16), 1);
    EXPECT_NEAR(int(far & 0xff), int(near & 0xff), 1);
}

TEST_F(Lights, UnitsFollowPreOrderAndNestedLightsTakeTheirParentsTransform)
{
    REQUIRE_FIXED_FUNCTION_STATE();
    SceneSpec spec = litWall();
    NodeSpec rig = makeNode(NodeType::Transform, "rig", {0, 5, 0});
    rig.add(light("nested", {1, 0, 0}));
    spec.nodes.push_back(rig);
    spec.nodes.push_back(light("top", {0, 0, 3}));
    auto scene = load(spec);
    frame(*scene);
    EXPECT_EQ(scene->activeLights, 2);
    expectPosition(lightState(0), 2, 5, 0);
    expectPosition(lightState(1), 0, 0, 6);
}

TEST_F(Lights, NinthLightHasNoEffect)
{
    SceneSpec spec = litWall();
    for (int i = 0; i < 8; ++i)
        spec.nodes.push_back(light("behind", {-5, static_cast<float>(i), 0}));
    spec.nodes.push_back(light("ninth", {5, 0, 0})); // the only one in front of the wall
    auto scene = load(spec);
    frame(*scene);
    EXPECT_EQ(scene->activeLights, 9);
    EXPECT_LT(middle() & 0xff, 20u); // ambient only
    if (!fixedFunction())
        return;
    for (int unit = 0; unit < 8; ++unit)
        expectPosition(lightState(unit), -10, 2.0f * static_cast<float>(unit), 0);
    for (int unit = 0; unit < 8; ++unit)
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + static_cast<GLenum>(unit))) << unit;
}

TEST_F(Lights, AnyLightNodeMeansLitAndSmoothOtherwiseUnlitAndFlat)
{
    SceneSpec spec = litWall();
    auto unlit = load(spec);
    ActiveRenderer().enable(GL_LIGHTING);
    frame(*unlit);
    GLint shading = 0;
    if (fixedFunction()) {
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        glGetIntegerv(GL_SHADE_MODEL, &shading);
        EXPECT_EQ(shading, GL_FLAT);
    }
    EXPECT_EQ(middle(), 0xffffffu);

    spec.nodes.push_back(light("lamp", {15, 0, 0}));
    auto lit = load(spec);
    frame(*lit);
    if (fixedFunction()) {
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        glGetIntegerv(GL_SHADE_MODEL, &shading);
        EXPECT_EQ(shading, GL_SMOOTH);
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0)); // switched off again after the frame
    }
    EXPECT_NEAR(int(middle() & 0xff), 214, 2);
}

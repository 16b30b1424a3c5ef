#include "graph/light_node.h"

#include "common/scene_reader.h"
#include "gpu/renderer.h"

LightNode::LightNode(Node* parent_) : DrawableNode(NodeKind::Light, parent_) {}

void LightNode::load(SceneReader& reader)
{
    readName(reader);
    reader.readFloat32(colour.x);
    reader.readFloat32(colour.y);
    reader.readFloat32(colour.z);
    positionTrack.read(reader);
    rotationTrack.read(reader);
    scaleTrack.read(reader);
    visibilityTrack.read(reader);
}

void LightNode::prepare()
{
    positionTrack.prepare();
    rotationTrack.prepare();
    scaleTrack.prepare();
}

bool LightNode::evaluate(float time, bool)
{
    composeMatrix(time, rotationTrack, scaleTrack);
    return true;
}

void LightNode::setUpLight(int32_t& activeLights) const
{
    Renderer& r = ActiveRenderer();
    int32_t n = activeLights++;
    // Deliberate: lights past the eighth are counted but have no effect
    // (Lights.NinthLightHasNoEffect).
    if (n >= maxLights)
        return;
    GLenum light = GL_LIGHT0 + static_cast<GLenum>(n);
    // Deliberate: the position is given inside the light's own matrix, whose translation
    // is that same position, so the light sits at twice its position relative to its
    // parent (Lights.TopLevelLightSitsAtTwiceItsPositionAndCannotBeHidden).
    const GLfloat at[4] = {position.x, position.y, position.z, 1.0f};
    const GLfloat diffuse[4] = {colour.x, colour.y, colour.z, 1.0f};
    r.lightfv(light, GL_POSITION, at);
    r.lightfv(light, GL_DIFFUSE, diffuse);
    r.lightf(light, GL_CONSTANT_ATTENUATION, constantAttenuation);
    r.lightf(light, GL_LINEAR_ATTENUATION, linearAttenuation);
    r.lightf(light, GL_QUADRATIC_ATTENUATION, quadraticAttenuation);
    r.enable(light);
}

// LightNode: a positional light with a colour and an animated transform.
#pragma once

#include "graph/drawable_node.h"
#include "graph/player_facts.h"

class LightNode : public DrawableNode {
public:
    explicit LightNode(Node* parent);

    // Reads the name, colour, then the position, rotation, scale and visibility tracks.
    void load(SceneReader& reader) override;
    // Prepares the position, rotation and scale tracks.
    void prepare() override;
    // Composes the matrix from position, rotation and scale. A light is never hidden.
    bool evaluate(float time, bool checkVisibility) override;
    // A light is met by the lights pass only, never drawn.
    bool isDrawable() const override { return false; }
    // Lights draw nothing.
    void render() override {}
    // Switches on the next free OpenGL light (GL_LIGHT0 + activeLights, while fewer than
    // eight are on) as a positional light at position under the current model-view matrix,
    // with the light's colour as its diffuse colour and no fall-off. Counts the light in
    // activeLights either way.
    void setUpLight(int32_t& activeLights) const;

    // Lights do not fall off with distance.
    float constantAttenuation = 1.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
    Vector3 colour{1.0f, 1.0f, 1.0f};
    RotationTrack rotationTrack;
    VectorTrack scaleTrack{Vector3(1.0f, 1.0f, 1.0f)};
};

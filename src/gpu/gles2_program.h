// The shader program of the gles2 renderer: GLSL ES 1.00 sources that reproduce the
// fixed-function pipeline the show drives (eight positional lights, modulated texture units
// 0 and 1, sphere-map coordinates), and their compiling and linking.
#pragma once

#include "gpu/gles2_api.h"

#include <string>

// The vertex attributes, by the locations the program binds them to.
enum Gles2Attribute : GLuint { AttributePosition = 0, AttributeNormal, AttributeColour, AttributeTexCoord0,
                                AttributeTexCoord1 };

struct Gles2ShaderSources {
    const char* vertex = nullptr;
    const char* fragment = nullptr;
};

// The sources of the fixed-function program.
Gles2ShaderSources FixedFunctionShaders();

// The linked program and where its uniforms are.
struct Gles2Program {
    GLuint program = 0;
    GLint modelViewProjection = -1;
    GLint modelView = -1;
    GLint normalMatrix = -1;
    GLint normalize = -1;
    GLint lightOn = -1;
    GLint lightPosition = -1;
    GLint lightDiffuse = -1;
    GLint lightAttenuation = -1;
    GLint materialDiffuse = -1;
    GLint sceneAmbient = -1;
    GLint sphereMap = -1;
    GLint textureFormat = -1;
    GLint repeat = -1;
};

// What a program does, by bit: each one defines a switch of the sources.
enum Gles2Feature : unsigned { FeatureLighting = 1, FeatureTexture0 = 2, FeatureTexture1 = 4, FeatureRepeat0 = 8,
                               FeatureRepeat1 = 16, Gles2FeatureCombinations = 32 };

// Compiles and links sources (without a #version line: "#version 100" and the switches of
// features go before them) into program, binding the attributes' locations and the two
// samplers to units 0 and 1. Returns false, with error naming the shader that failed and the
// driver's log, when a shader does not compile or the program does not link.
bool BuildGles2Program(const Gles2Api& gl, const Gles2ShaderSources& sources, unsigned features,
                       Gles2Program& program, std::string& error);

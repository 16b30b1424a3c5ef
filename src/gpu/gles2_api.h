// Gles2Api: the OpenGL ES 2.0 entry points the gles2 renderer draws with, fetched from the
// current context. Only core ES 2.0 functions are listed, each of them also in WebGL 1;
// the renderer reaches the driver through nothing else.
#pragma once

#include "gpu/gl.h"

#define GL_GLES_PROTOTYPES 0
#include <GLES2/gl2.h>

#include <string>

struct Gles2Api {
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    PFNGLATTACHSHADERPROC AttachShader = nullptr;
    PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = nullptr;
    PFNGLBINDBUFFERPROC BindBuffer = nullptr;
    PFNGLBINDTEXTUREPROC BindTexture = nullptr;
    PFNGLBLENDFUNCPROC BlendFunc = nullptr;
    PFNGLBUFFERDATAPROC BufferData = nullptr;
    PFNGLCLEARPROC Clear = nullptr;
    PFNGLCLEARCOLORPROC ClearColor = nullptr;
    PFNGLCLEARDEPTHFPROC ClearDepthf = nullptr;
    PFNGLCOLORMASKPROC ColorMask = nullptr;
    PFNGLCOMPILESHADERPROC CompileShader = nullptr;
    PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
    PFNGLCREATESHADERPROC CreateShader = nullptr;
    PFNGLCULLFACEPROC CullFace = nullptr;
    PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
    PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
    PFNGLDELETESHADERPROC DeleteShader = nullptr;
    PFNGLDELETETEXTURESPROC DeleteTextures = nullptr;
    PFNGLDEPTHFUNCPROC DepthFunc = nullptr;
    PFNGLDEPTHMASKPROC DepthMask = nullptr;
    PFNGLDISABLEPROC Disable = nullptr;
    PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray = nullptr;
    PFNGLDRAWARRAYSPROC DrawArrays = nullptr;
    PFNGLENABLEPROC Enable = nullptr;
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray = nullptr;
    PFNGLFINISHPROC Finish = nullptr;
    PFNGLGENBUFFERSPROC GenBuffers = nullptr;
    PFNGLGENERATEMIPMAPPROC GenerateMipmap = nullptr;
    PFNGLGENTEXTURESPROC GenTextures = nullptr;
    PFNGLGETERRORPROC GetError = nullptr;
    PFNGLGETINTEGERVPROC GetIntegerv = nullptr;
    PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
    PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
    PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
    PFNGLGETSTRINGPROC GetString = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
    PFNGLISTEXTUREPROC IsTexture = nullptr;
    PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
    PFNGLPIXELSTOREIPROC PixelStorei = nullptr;
    PFNGLREADPIXELSPROC ReadPixels = nullptr;
    PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
    PFNGLTEXIMAGE2DPROC TexImage2D = nullptr;
    PFNGLTEXPARAMETERIPROC TexParameteri = nullptr;
    PFNGLUNIFORM1IPROC Uniform1i = nullptr;
    PFNGLUNIFORM1IVPROC Uniform1iv = nullptr;
    PFNGLUNIFORM3FVPROC Uniform3fv = nullptr;
    PFNGLUNIFORM4FVPROC Uniform4fv = nullptr;
    PFNGLUNIFORMMATRIX3FVPROC UniformMatrix3fv = nullptr;
    PFNGLUNIFORMMATRIX4FVPROC UniformMatrix4fv = nullptr;
    PFNGLUSEPROGRAMPROC UseProgram = nullptr;
    PFNGLVERTEXATTRIB4FVPROC VertexAttrib4fv = nullptr;
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = nullptr;
    PFNGLVIEWPORTPROC Viewport = nullptr;
};

// Fetches every entry point of api from the current context. Returns false, naming the
// first one missing in error, when any cannot be had.
bool LoadGles2Api(Gles2Api& api, std::string& error);

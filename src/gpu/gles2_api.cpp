#include "gpu/gles2_api.h"

#include "gpu/gl_context.h"

#include <type_traits>

bool LoadGles2Api(Gles2Api& api, std::string& error)
{
    const char* missing = nullptr;
    auto fetch = [&missing](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(GlProcAddress(name));
        if (!pointer && !missing)
            missing = name;
    };
    fetch(api.ActiveTexture, "glActiveTexture");
    fetch(api.AttachShader, "glAttachShader");
    fetch(api.BindAttribLocation, "glBindAttribLocation");
    fetch(api.BindBuffer, "glBindBuffer");
    fetch(api.BindTexture, "glBindTexture");
    fetch(api.BlendFunc, "glBlendFunc");
    fetch(api.BufferData, "glBufferData");
    fetch(api.Clear, "glClear");
    fetch(api.ClearColor, "glClearColor");
    fetch(api.ClearDepthf, "glClearDepthf");
    fetch(api.ColorMask, "glColorMask");
    fetch(api.CompileShader, "glCompileShader");
    fetch(api.CreateProgram, "glCreateProgram");
    fetch(api.CreateShader, "glCreateShader");
    fetch(api.CullFace, "glCullFace");
    fetch(api.DeleteBuffers, "glDeleteBuffers");
    fetch(api.DeleteProgram, "glDeleteProgram");
    fetch(api.DeleteShader, "glDeleteShader");
    fetch(api.DeleteTextures, "glDeleteTextures");
    fetch(api.DepthFunc, "glDepthFunc");
    fetch(api.DepthMask, "glDepthMask");
    fetch(api.Disable, "glDisable");
    fetch(api.DisableVertexAttribArray, "glDisableVertexAttribArray");
    fetch(api.DrawArrays, "glDrawArrays");
    fetch(api.Enable, "glEnable");
    fetch(api.EnableVertexAttribArray, "glEnableVertexAttribArray");
    fetch(api.Finish, "glFinish");
    fetch(api.GenBuffers, "glGenBuffers");
    fetch(api.GenerateMipmap, "glGenerateMipmap");
    fetch(api.GenTextures, "glGenTextures");
    fetch(api.GetError, "glGetError");
    fetch(api.GetIntegerv, "glGetIntegerv");
    fetch(api.GetProgramInfoLog, "glGetProgramInfoLog");
    fetch(api.GetProgramiv, "glGetProgramiv");
    fetch(api.GetShaderInfoLog, "glGetShaderInfoLog");
    fetch(api.GetShaderiv, "glGetShaderiv");
    fetch(api.GetString, "glGetString");
    fetch(api.GetUniformLocation, "glGetUniformLocation");
    fetch(api.IsTexture, "glIsTexture");
    fetch(api.LinkProgram, "glLinkProgram");
    fetch(api.PixelStorei, "glPixelStorei");
    fetch(api.ReadPixels, "glReadPixels");
    fetch(api.ShaderSource, "glShaderSource");
    fetch(api.TexImage2D, "glTexImage2D");
    fetch(api.TexParameteri, "glTexParameteri");
    fetch(api.Uniform1i, "glUniform1i");
    fetch(api.Uniform1iv, "glUniform1iv");
    fetch(api.Uniform3fv, "glUniform3fv");
    fetch(api.Uniform4fv, "glUniform4fv");
    fetch(api.UniformMatrix3fv, "glUniformMatrix3fv");
    fetch(api.UniformMatrix4fv, "glUniformMatrix4fv");
    fetch(api.UseProgram, "glUseProgram");
    fetch(api.VertexAttrib4fv, "glVertexAttrib4fv");
    fetch(api.VertexAttribPointer, "glVertexAttribPointer");
    fetch(api.Viewport, "glViewport");
    if (missing)
        error = std::string("the OpenGL ES 2.0 function ") + missing + " is missing";
    return missing == nullptr;
}

// Multitexture entry points, fetched once after the window's context is current.
#pragma once

#include "gpu/gl.h"

// The process-wide entry points live in their own namespace: Mesa's gl.h already
// declares functions of the same names, which we must not call directly.
namespace ext {

using MultiTexCoord1d = void(APIENTRY*)(GLenum, GLdouble);
using MultiTexCoord1dv = void(APIENTRY*)(GLenum, const GLdouble*);
using MultiTexCoord1f = void(APIENTRY*)(GLenum, GLfloat);
using MultiTexCoord1fv = void(APIENTRY*)(GLenum, const GLfloat*);
using MultiTexCoord1i = void(APIENTRY*)(GLenum, GLint);
using MultiTexCoord1iv = void(APIENTRY*)(GLenum, const GLint*);
using MultiTexCoord1s = void(APIENTRY*)(GLenum, GLshort);
using MultiTexCoord1sv = void(APIENTRY*)(GLenum, const GLshort*);
using MultiTexCoord2d = void(APIENTRY*)(GLenum, GLdouble, GLdouble);
using MultiTexCoord2dv = void(APIENTRY*)(GLenum, const GLdouble*);
using MultiTexCoord2f = void(APIENTRY*)(GLenum, GLfloat, GLfloat);
using MultiTexCoord2fv = void(APIENTRY*)(GLenum, const GLfloat*);
using MultiTexCoord2i = void(APIENTRY*)(GLenum, GLint, GLint);
using MultiTexCoord2iv = void(APIENTRY*)(GLenum, const GLint*);
using MultiTexCoord2s = void(APIENTRY*)(GLenum, GLshort, GLshort);
using MultiTexCoord2sv = void(APIENTRY*)(GLenum, const GLshort*);
using MultiTexCoord3d = void(APIENTRY*)(GLenum, GLdouble, GLdouble, GLdouble);
using MultiTexCoord3dv = void(APIENTRY*)(GLenum, const GLdouble*);
using MultiTexCoord3f = void(APIENTRY*)(GLenum, GLfloat, GLfloat, GLfloat);
using MultiTexCoord3fv = void(APIENTRY*)(GLenum, const GLfloat*);
using MultiTexCoord3i = void(APIENTRY*)(GLenum, GLint, GLint, GLint);
using MultiTexCoord3iv = void(APIENTRY*)(GLenum, const GLint*);
using MultiTexCoord3s = void(APIENTRY*)(GLenum, GLshort, GLshort, GLshort);
using MultiTexCoord3sv = void(APIENTRY*)(GLenum, const GLshort*);
using MultiTexCoord4d = void(APIENTRY*)(GLenum, GLdouble, GLdouble, GLdouble, GLdouble);
using MultiTexCoord4dv = void(APIENTRY*)(GLenum, const GLdouble*);
using MultiTexCoord4f = void(APIENTRY*)(GLenum, GLfloat, GLfloat, GLfloat, GLfloat);
using MultiTexCoord4fv = void(APIENTRY*)(GLenum, const GLfloat*);
using MultiTexCoord4i = void(APIENTRY*)(GLenum, GLint, GLint, GLint, GLint);
using MultiTexCoord4iv = void(APIENTRY*)(GLenum, const GLint*);
using MultiTexCoord4s = void(APIENTRY*)(GLenum, GLshort, GLshort, GLshort, GLshort);
using MultiTexCoord4sv = void(APIENTRY*)(GLenum, const GLshort*);
using ActiveTexture = void(APIENTRY*)(GLenum);
using ClientActiveTexture = void(APIENTRY*)(GLenum);

extern MultiTexCoord1d glMultiTexCoord1dARB;
extern MultiTexCoord1dv glMultiTexCoord1dvARB;
extern MultiTexCoord1f glMultiTexCoord1fARB;
extern MultiTexCoord1fv glMultiTexCoord1fvARB;
extern MultiTexCoord1i glMultiTexCoord1iARB;
extern MultiTexCoord1iv glMultiTexCoord1ivARB;
extern MultiTexCoord1s glMultiTexCoord1sARB;
extern MultiTexCoord1sv glMultiTexCoord1svARB;
extern MultiTexCoord2d glMultiTexCoord2dARB;
extern MultiTexCoord2dv glMultiTexCoord2dvARB;
extern MultiTexCoord2f glMultiTexCoord2fARB;
extern MultiTexCoord2fv glMultiTexCoord2fvARB;
extern MultiTexCoord2i glMultiTexCoord2iARB;
extern MultiTexCoord2iv glMultiTexCoord2ivARB;
extern MultiTexCoord2s glMultiTexCoord2sARB;
extern MultiTexCoord2sv glMultiTexCoord2svARB;
extern MultiTexCoord3d glMultiTexCoord3dARB;
extern MultiTexCoord3dv glMultiTexCoord3dvARB;
extern MultiTexCoord3f glMultiTexCoord3fARB;
extern MultiTexCoord3fv glMultiTexCoord3fvARB;
extern MultiTexCoord3i glMultiTexCoord3iARB;
extern MultiTexCoord3iv glMultiTexCoord3ivARB;
extern MultiTexCoord3s glMultiTexCoord3sARB;
extern MultiTexCoord3sv glMultiTexCoord3svARB;
extern MultiTexCoord4d glMultiTexCoord4dARB;
extern MultiTexCoord4dv glMultiTexCoord4dvARB;
extern MultiTexCoord4f glMultiTexCoord4fARB;
extern MultiTexCoord4fv glMultiTexCoord4fvARB;
extern MultiTexCoord4i glMultiTexCoord4iARB;
extern MultiTexCoord4iv glMultiTexCoord4ivARB;
extern MultiTexCoord4s glMultiTexCoord4sARB;
extern MultiTexCoord4sv glMultiTexCoord4svARB;
extern ActiveTexture glActiveTextureARB;
extern ClientActiveTexture glClientActiveTextureARB;

} // namespace ext

// Fetches all 34 entry points by name from the current context. Returns false when
// glActiveTextureARB or glMultiTexCoord2fARB is missing: the show cannot draw then.
bool LoadExtensions();

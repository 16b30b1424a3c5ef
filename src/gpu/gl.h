// OpenGL 1.1 and GLU declarations for the units that draw.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

// Vector3Array: the tightly packed vertex array OpenGL vertex arrays read directly.
#pragma once

#include "common/growable_array.h"
#include "common/vector3.h"

using Vector3Array = GrowableArray<Vector3>;

static_assert(sizeof(Vector3) == 12, "vertex arrays are handed to OpenGL as packed floats");

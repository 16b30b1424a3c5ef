#!/bin/sh
# The gles2 renderer reaches the driver only through its table of entry points, and every
# entry in that table is a core OpenGL ES 2.0 function (declared in GLES2/gl2.h, which holds
# the core API and no extension). A direct call, or an entry that is not core ES 2.0, fails
# this test naming it.
src=${1:?usage: $0 path/to/src [path/to/GLES2/gl2.h]}
header=${2:-/usr/include/GLES2/gl2.h}
[ -r "$header" ] || { echo "FAIL: $header is missing (libgles-dev)" >&2; exit 1; }
status=0
units="$src/gpu/renderer_gles2.cpp $src/gpu/renderer_gles2_draw.cpp $src/gpu/gles2_program.cpp $src/gpu/gles2_api.cpp"
direct=$(grep -nE '(^|[^._A-Za-z0-9])glu?[A-Z][A-Za-z0-9]*[[:space:]]*\(' $units)
if [ -n "$direct" ]; then
    echo "FAIL: the gles2 renderer calls OpenGL other than through its entry points:" >&2
    echo "$direct" >&2
    status=1
fi
entries=$(grep -oE '"gl[A-Z][A-Za-z0-9]*"' "$src/gpu/gles2_api.cpp" | tr -d '"')
[ -n "$entries" ] || { echo "FAIL: no entry points found in $src/gpu/gles2_api.cpp" >&2; exit 1; }
for name in $entries; do
    if ! grep -qE "GL_APICALL .*GL_APIENTRY $name[[:space:]]*\\(" "$header"; then
        echo "FAIL: $name is not a core OpenGL ES 2.0 function" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "PASS: $(echo "$entries" | wc -w) entry points, all core OpenGL ES 2.0"
exit $status

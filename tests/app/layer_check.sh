#!/bin/sh
# The shell services sit just above common/: a unit of src/app that includes a header of a
# higher layer (or of the player) fails this test, naming the line.
src=${1:?usage: $0 path/to/src}
found=$(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(demo\|graph\|scene\|render\|anim\|image\|player\)/' \
    "$src"/app/*.h "$src"/app/*.cpp)
if [ -n "$found" ]; then
    echo "FAIL: src/app includes from a layer above it:" >&2
    echo "$found" >&2
    exit 1
fi
echo "PASS"

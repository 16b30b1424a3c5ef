#!/bin/sh
# Runs layer_check.sh on small made-up trees: one include per case, in the unit named, and
# whether the check must pass. A failing case must name the offending line.
check=$(dirname "$0")/layer_check.sh
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
while read -r unit include expected; do
    [ -n "$unit" ] || continue
    rm -rf "$work/src"
    for layer in common app image anim render graph scene demo player; do
        mkdir -p "$work/src/$layer"
    done
    mkdir -p "$work/src/$(dirname "$unit")"
    printf '#include "%s"\n' "$include" > "$work/src/$unit"
    if output=$(sh "$check" "$work/src" 2>&1); then result=pass; else result=fail; fi
    if [ "$result" != "$expected" ]; then
        echo "FAIL: $unit including $include: expected $expected, got $result" >&2
        failures=$((failures + 1))
    elif [ "$result" = fail ] && ! echo "$output" | grep -q "$unit:1:#include \"$include\"" \
        && ! echo "$output" | grep -q "no place in the layer order"; then
        echo "FAIL: $unit including $include: the report does not name the line: $output" >&2
        failures=$((failures + 1))
    fi
done <<'CASES'
scene/scene.h          graph/node.h            pass
graph/mesh_node.h      anim/morph_track.h      pass
render/render_mode.h   common/face.h           pass
anim/tcb.h             anim/track.h            pass
player/main.cpp        demo/show.h             pass
anim/tcb.h             scene/scene_reader.h    fail
render/render_mode.h   graph/face.h            fail
graph/mesh_node.cpp    scene/material.h        fail
app/window.cpp         image/texture.h         fail
common/data_file.cpp   app/gl.h                fail
demo/show.cpp          player/demo_app.h       fail
engine/node.h          common/vector3.h        fail
CASES
[ "$failures" -eq 0 ] && echo "PASS"
[ "$failures" -eq 0 ]

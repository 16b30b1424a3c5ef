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
    for layer in common audio gpu image anim render graph scene demo desktop player web page; do
        mkdir -p "$work/src/$layer"
    done
    mkdir -p "$work/src/$(dirname "$unit")"
    case "$include" in
    "<"*) printf '#include %s\n' "$include" > "$work/src/$unit" ;;
    *) printf '#include "%s"\n' "$include" > "$work/src/$unit" ;;
    esac
    if output=$(sh "$check" "$work/src" 2>&1); then result=pass; else result=fail; fi
    if [ "$result" != "$expected" ]; then
        echo "FAIL: $unit including $include: expected $expected, got $result" >&2
        failures=$((failures + 1))
    elif [ "$result" = fail ] && ! echo "$output" | grep -qF "$unit:1:#include" \
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
desktop/window.cpp     demo/platform.h         pass
player/main.cpp        desktop/window.h        pass
gpu/renderer_gl.cpp    <GL/gl.h>               pass
desktop/window.cpp     <SDL.h>                 pass
image/texture.cpp      gpu/renderer.h          pass
gpu/renderer.h         image/texture.h         fail
common/data_file.cpp   gpu/gl.h                fail
demo/show.cpp          desktop/window.h        fail
demo/show.cpp          player/demo_app.h       fail
demo/show.cpp          <SDL.h>                 fail
image/texture.cpp      <GL/gl.h>               fail
graph/node.cpp         <EGL/egl.h>             fail
demo/capture.cpp       <spawn.h>               fail
demo/capture.cpp       <csignal>               fail
scene/scene.cpp        <sys/inotify.h>         fail
gpu/renderer.cpp       <SDL.h>                 fail
app/window.cpp         common/vector3.h        fail
web/web_platform.cpp   demo/platform.h         pass
web/web_platform.cpp   <emscripten/html5.h>    pass
page/page_main.cpp     web/web_platform.h      pass
web/web_platform.cpp   page/page.h             fail
web/web_platform.cpp   desktop/window.h        fail
page/page_main.cpp     player/demo_app.h       fail
demo/show.cpp          web/web_platform.h      fail
demo/show.cpp          <emscripten.h>          fail
CASES
[ "$failures" -eq 0 ] && echo "PASS"
[ "$failures" -eq 0 ]

#!/bin/sh
# The folders of src/ form a stack, lowest first. A unit includes headers of its own folder
# and of the folders below it only: an include of a higher folder fails this test, naming
# the line, and so does a folder missing from the stack. The core, the folders below the
# platforms, includes nothing of the window system, sound devices, file watching, child
# processes, signals or the browser, and only the renderers' folder includes OpenGL's
# headers. The two platforms stand side by side over the core: the web platform and its
# page include nothing of the desktop or its program.
src=${1:?usage: $0 path/to/src}
layers="common audio gpu image anim render graph scene demo desktop player web page"
core="common audio gpu image anim render graph scene demo"
system='SDL|SDL2/|FL/|alsa/|EGL/|sys/inotify\.h|csignal|signal\.h|spawn\.h|sys/wait\.h|emscripten'
status=0
for dir in "$src"/*/; do
    folder=$(basename "$dir")
    case " $layers " in
    *" $folder "*) ;;
    *)
        echo "FAIL: src/$folder has no place in the layer order ($layers)" >&2
        status=1
        ;;
    esac
done
above=$layers
for layer in $layers; do
    above=${above#"$layer"}
    above=${above# }
    [ -n "$above" ] || break
    pattern=$(echo "$above" | tr ' ' '|')
    found=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($pattern)/" \
        "$src/$layer"/*.h "$src/$layer"/*.cpp 2>/dev/null)
    if [ -n "$found" ]; then
        echo "FAIL: src/$layer includes from a layer above it:" >&2
        echo "$found" >&2
        status=1
    fi
done
for layer in $core; do
    headers="$system"
    # The renderers declare the OpenGL and OpenGL ES calls they make; no one else does.
    [ "$layer" = gpu ] || headers="$system|GL/|GLES2/"
    found=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($headers)" \
        "$src/$layer"/*.h "$src/$layer"/*.cpp 2>/dev/null)
    if [ -n "$found" ]; then
        echo "FAIL: src/$layer, in the core, includes a header of the platform's:" >&2
        echo "$found" >&2
        status=1
    fi
done
for layer in web page; do
    found=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"(desktop|player)/" \
        "$src/$layer"/*.h "$src/$layer"/*.cpp 2>/dev/null)
    if [ -n "$found" ]; then
        echo "FAIL: src/$layer, of the web platform, includes from the desktop's:" >&2
        echo "$found" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"

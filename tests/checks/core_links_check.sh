#!/bin/sh
# The core (the libraries from common to demo) stands on no window system: no library of it
# calls into SDL, FLTK, ALSA, EGL, desktop OpenGL or GLU, inotify, child processes or
# signals, and a program linked with the demo library alone loads none of their libraries.
# Usage: core_links_check.sh BUILD_DIR PROGRAM_LINKING_ONLY_DEMO
build=${1:?usage: $0 build-dir program}
program=${2:?usage: $0 build-dir program}
status=0
core="common audio gpu gpu_gles2 image anim render graph scene demo"
# Undefined symbols a core library must not need.
forbidden='^(SDL_|Fl_|_ZN[0-9]*Fl_|snd_|egl[A-Z]|glu[A-Z]|gl[A-Z]|inotify_|fork$|vfork$|exec[lv]|posix_spawn|sigaction$|signal$|sigprocmask$|kill$)'
for name in $core; do
    library=$(find "$build" -name "libtaldrex_$name.a" | head -n 1)
    if [ -z "$library" ]; then
        echo "FAIL: libtaldrex_$name.a not found under $build" >&2
        status=1
        continue
    fi
    found=$(nm -u --format=posix "$library" 2>/dev/null | awk '{print $1}' | grep -E "$forbidden" | sort -u)
    if [ -n "$found" ]; then
        echo "FAIL: libtaldrex_$name.a calls into the platform:" >&2
        echo "$found" | sed 's/^/    /' >&2
        status=1
    fi
done
# What a program of the core alone loads.
loaded=$(ldd "$program") || { echo "FAIL: ldd $program" >&2; exit 1; }
found=$(echo "$loaded" | grep -E 'lib(SDL2|fltk|asound|EGL|GL|GLX|GLU|OpenGL|GLESv2)[-.]' | awk '{print $1}')
if [ -n "$found" ]; then
    echo "FAIL: $(basename "$program"), linked with the demo library alone, loads:" >&2
    echo "$found" | sed 's/^/    /' >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"

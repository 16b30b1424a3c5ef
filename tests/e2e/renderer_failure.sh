#!/bin/sh
# A gles2 run that cannot have its renderer ends with status 1 and a reason naming gles2
# before anything is shown or written, for a capture, a video, a window and author mode.
# The failure is a real one: Mesa told to offer OpenGL ES 1.1 at most, so no ES 2.0
# context can be made; the same driver still plays gl. A gles2 run on the driver as it
# is either plays or fails the same way.
. "$(dirname "$0")/lib/session.sh"

SHOW="${TALDREX_BINARY_DIR:?}/show"
[ -f "$SHOW/script.txt" ] || fail "the bundled show was not built"
unset DISPLAY WAYLAND_DISPLAY

# Status 1, gles2 named, and nothing of the show left behind at path $1 (when given).
expect_refused() {
    [ "$STATUS" -eq 1 ] || fail "$2 ended with status $STATUS, not 1"
    grep -q "gles2" "$WORK/stderr" || fail "$2: the message does not name the gles2 renderer"
    if [ -n "$1" ] && [ -n "$(ls -A "$1" 2>/dev/null)" ]; then fail "$2 left $(ls "$1")"; fi
}

run_player 120 --renderer gles2 --capture "$WORK/as-is" --size 160x90 --to 100 "$SHOW"
if [ "$STATUS" -eq 0 ]; then
    [ "$(ls "$WORK/as-is" | wc -l)" -eq 4 ] || fail "a gles2 capture of 0 to 100 ms wrote $(ls "$WORK/as-is" | wc -l) frames"
else
    expect_refused "$WORK/as-is" "a gles2 capture"
fi

MESA_GLES_VERSION_OVERRIDE=1.1
export MESA_GLES_VERSION_OVERRIDE

run_player 60 --renderer gles2 --capture "$WORK/frames" --size 160x90 --to 100 "$SHOW"
expect_refused "$WORK/frames" "a gles2 capture without ES 2.0"
run_player 60 --renderer gles2 --video "$WORK/video/show.mp4" --size 160x90 --to 100 "$SHOW"
expect_refused "$WORK/video" "a gles2 video without ES 2.0"
run_player 120 --renderer gl --capture "$WORK/gl" --size 160x90 --to 100 "$SHOW"
[ "$STATUS" -eq 0 ] || fail "a gl capture without ES 2.0 ended with status $STATUS"
[ "$(ls "$WORK/gl" | wc -l)" -eq 4 ] || fail "a gl capture of 0 to 100 ms wrote $(ls "$WORK/gl" | wc -l) frames"

start_xvfb
make_demo
run_player 30 --renderer gles2 --mode window --no-sound "$DEMO"
expect_refused "" "a gles2 window without ES 2.0"
grep -q "OpenGL ES 2.0" "$WORK/stderr" || fail "the window's message does not say which context failed"
run_player 30 --renderer gles2 --author --no-sound "$DEMO"
expect_refused "" "gles2 author mode without ES 2.0"
echo "PASS"

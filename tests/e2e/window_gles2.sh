#!/bin/sh
# A window drawn by the gles2 renderer (OpenGL ES 2.0 over EGL on an X server, the driver
# held to exactly 2.0) shows what the gl renderer captures at the same moment: in author
# mode, paused with the bar hidden, a screenshot matches a gl capture at the screenshot's
# clock within the reference frames' tolerance.
. "$(dirname "$0")/lib/session.sh"

command -v compare >/dev/null || skip "ImageMagick is not installed"
start_server Xvfb -screen 0 640x480x24 -nolisten tcp -noreset || fail "Xvfb did not start"
make_small_show
export MESA_GLES_VERSION_OVERRIDE=2.0

mkdir "$WORK/shots"
start_player --author --renderer gles2 --no-sound --mode 640x480 --screenshot-dir "$WORK/shots" "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1.5
press_key "$window" space
press_key "$window" h
sleep 0.5
press_key "$window" s
for _ in $(seq 100); do
    [ -n "$(ls "$WORK/shots")" ] && break
    sleep 0.1
done
shot=$(ls "$WORK"/shots/*.png 2>/dev/null | head -n 1)
[ -f "$shot" ] || fail "no screenshot from the gles2 window"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the gles2 window with status $STATUS: $(cat "$WORK/stderr")"

# taldrex-show-MMmSS.mmms.png: the paused clock, to the millisecond.
clock=$(basename "$shot" | sed -E 's/^taldrex-show-([0-9]{2})m([0-9]{2})\.([0-9]{3})s\.png$/\1 \2 \3/')
set -- $clock
[ $# -eq 3 ] || fail "unexpected screenshot name $(basename "$shot")"
ms=$(( (1$1 - 100) * 60000 + (1$2 - 100) * 1000 + (1$3 - 1000) ))
run_player 120 --renderer gl --capture "$WORK/gl" --size 640x480 --fps 1000 --from "$ms" --to "$ms" "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the gl capture at $ms ms ended with status $STATUS"
frame=$(ls "$WORK"/gl/frame-*.png | head -n 1)
lit=$(convert "$shot" -threshold 1% -format '%[fx:mean*w*h]' info:)
[ "${lit%%.*}" -gt 1000 ] || fail "the gles2 window shows almost nothing ($lit pixels lit)"
differing=$(compare -metric AE -fuzz 3% "$shot" "$frame" null: 2>&1) || true
[ "${differing%%.*}" -le 32 ] 2>/dev/null || fail "the gles2 window at $ms ms differs from gl's capture in $differing pixels"
echo "PASS ($ms ms, $differing pixels over 3 %)"

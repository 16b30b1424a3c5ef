#!/bin/sh
# Captured frames of the bundled show, at times spread over every part, match the
# reference pictures kept in tests/fixtures/reference-frames (made with
# scripts/update-reference-frames) within a small per-pixel tolerance for rounding: drawn
# by the gl renderer, and by the gles2 renderer under a driver that offers exactly
# OpenGL ES 2.0.
. "$(dirname "$0")/lib/session.sh"

# The references are llvmpipe's pictures; the sanitizer suite draws with softpipe.
[ "${GALLIUM_DRIVER:-llvmpipe}" = llvmpipe ] || not_applicable "reference frames are drawn by llvmpipe, this run uses ${GALLIUM_DRIVER}"

SHOW="${TALDREX_BINARY_DIR:?}/show"
REFERENCE="${TALDREX_SOURCE_DIR:?}/tests/fixtures/reference-frames"
unset DISPLAY WAYLAND_DISPLAY
export MESA_GLES_VERSION_OVERRIDE=2.0
for renderer in gl gles2; do
    for ms in $(cat "$REFERENCE/times"); do
        out="$WORK/$renderer-$ms"
        run_player 120 --renderer "$renderer" --capture "$out" --size 320x180 --fps 30 --from "$ms" --to "$ms" "$SHOW"
        [ "$STATUS" -eq 0 ] || fail "$renderer: capture at $ms ms ended with status $STATUS"
        frame=$(ls "$out"/frame-*.png)
        # Pixels differing by more than 3 % of full scale in any channel.
        differing=$(compare -metric AE -fuzz 3% "$frame" "$REFERENCE/at-$ms.png" null: 2>&1) || true
        [ "${differing%%.*}" -le 32 ] 2>/dev/null ||
            fail "$renderer: the frame at $ms ms differs from its reference in $differing pixels"
    done
done
echo "PASS"

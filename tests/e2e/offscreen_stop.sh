#!/bin/sh
# SIGTERM ends a window run under SDL's offscreen driver (no X server) within a second,
# with status 143, after seconds of play, in the show and in author mode, with either
# renderer: nothing of the frames shown so far is left for the driver to draw at the end.
. "$(dirname "$0")/lib/session.sh"
unset DISPLAY WAYLAND_DISPLAY

make_small_show
printf '[textures]\nblue.jpg\ncorner.png\n\n[scenes]\nsquare.scn\n\n[part]\nsquare.scn\n600000\neye\nblue.jpg\ncorner.png\n' \
    >"$DEMO/script.txt"

# Plays with the given options for three seconds, then asks the run to end.
stop_after_play() {
    SDL_VIDEODRIVER=offscreen start_player --mode desktop --no-sound "$@" "$DEMO"
    sleep 3
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        wait_player 1
        grep -q "can't open the demo window\|cannot start" "$WORK/stderr" &&
            skip "SDL's offscreen driver cannot open a window here: $(head -n 1 "$WORK/stderr")"
        fail "the offscreen run $* ended by itself with status $STATUS"
    fi
    kill -TERM "$APP_PID"
    wait_player 1
    [ "$STATUS" -eq 143 ] || fail "SIGTERM ended the offscreen run $* with status $STATUS"
}

stop_after_play
stop_after_play --author
stop_after_play --renderer gles2
echo "PASS"

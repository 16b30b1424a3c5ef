#!/bin/sh
# With sound asked for but no device to play on (ALSA pointed at a device that does not
# exist), the player says so in exactly one line on standard error, with none of the
# sound system's own lines, and the show keeps its timing on the tick clock: the 4.5 s
# small show still takes its time and ends with status 0.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_small_show
started=$(date +%s%N)
SDL_AUDIODRIVER=alsa AUDIODEV=taldrex_no_such_device start_player --mode window "$DEMO"
find_window 640 480 20 >/dev/null || fail "no 640x480 window appeared"
wait_player 20
[ "$STATUS" -eq 0 ] || fail "the show ended with status $STATUS"
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$elapsed" -ge 3000 ] || fail "the 3 s show ended after $elapsed ms"
[ "$(cat "$WORK/stderr")" = "taldrex: no audio device; playing without sound" ] \
    || fail "standard error is not exactly the one line: $(cat "$WORK/stderr")"
echo "PASS ($elapsed ms)"

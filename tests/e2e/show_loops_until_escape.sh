#!/bin/sh
# With --loop the 3 s show starts over instead of ending, until Escape; a tap of Escape
# ends it too, even when its press and release both arrive between two frames (the player
# is stopped while they are sent); --no-sound keeps the same timing on the tick clock.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_small_show
start_player --mode window --loop "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 4.5
kill -0 "$APP_PID" 2>/dev/null || fail "the looping show ended by itself"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the looping show with status $STATUS"

start_player --mode window --loop "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1
tap_key_between_frames "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "a tap of Escape ended the looping show with status $STATUS"

started=$(date +%s%N)
start_player --mode window --no-sound "$DEMO"
wait_player 15
[ "$STATUS" -eq 0 ] || fail "the silent show ended with status $STATUS"
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$elapsed" -ge 3000 ] && [ "$elapsed" -lt 9000 ] || fail "the silent 3 s show took $elapsed ms"
echo "PASS"

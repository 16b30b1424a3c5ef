#!/bin/sh
# "--mode window" opens the 640 x 480 window titled "Quorin - Taldrex" at once, without
# the dialog, and Escape ends the program with status 0.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_demo
start_player --mode window --no-sound "$DEMO"

window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
[ "$(window_title "$window")" = "$TITLE" ] || fail "window title is '$(window_title "$window")'"
find_window 351 215 0 >/dev/null && fail "the settings dialog appeared although --mode was given"

press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the program with status $STATUS"
echo "PASS"

#!/bin/sh
# Without --mode the settings dialog comes first; clicking "Run Demo" (or pressing Return)
# replaces it by the 640 x 480 window, which Escape closes with status 0.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_demo

# "Run Demo" sits at 38,156 and is 75 x 23 pixels: click its middle.
start_player "$DEMO"
dialog=$(find_window 351 215 20) || fail "the settings dialog did not appear"
xdotool mousemove --window "$dialog" 75 167 click 1
window=$(find_window 640 480 20) || fail "no 640x480 window after clicking Run Demo"
find_window 351 215 0 >/dev/null && fail "the dialog is still shown next to the window"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the program with status $STATUS"

start_player "$DEMO"
dialog=$(find_window 351 215 20) || fail "the settings dialog did not appear the second time"
press_key "$dialog" Return
window=$(find_window 640 480 20) || fail "no 640x480 window after pressing Return in the dialog"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the program with status $STATUS"
echo "PASS"

#!/bin/sh
# Closing the settings dialog (its close box, or Escape) ends the program with status 0,
# without a message and without opening the demo window.
. "$(dirname "$0")/lib/session.sh"

[ -x "${E2E_CLOSE_WINDOW:-}" ] || fail "E2E_CLOSE_WINDOW does not name the close-request tool"
start_xvfb
make_demo

start_player "$DEMO"
dialog=$(find_window 351 215 20) || fail "the settings dialog did not appear"
"$E2E_CLOSE_WINDOW" "$dialog" || fail "could not send the close request"
wait_player 10
[ "$STATUS" -eq 0 ] || fail "closing the dialog ended the program with status $STATUS"
[ -s "$WORK/stderr" ] && fail "closing the dialog printed a message"

start_player "$DEMO"
dialog=$(find_window 351 215 20) || fail "the settings dialog did not appear the second time"
press_key "$dialog" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape in the dialog ended the program with status $STATUS"

# Neither run may have left a demo window behind or opened one on the way out.
find_window 640 480 0 >/dev/null && fail "a demo window was opened"
echo "PASS"

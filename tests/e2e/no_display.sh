#!/bin/sh
# With no display for the settings dialog the program says so, tells how to run without
# the dialog, and ends with a non-zero status.
. "$(dirname "$0")/lib/session.sh"

make_demo
unset DISPLAY WAYLAND_DISPLAY
run_player 10 "$DEMO"
[ "$STATUS" -ne 0 ] || fail "running without a display ended with status 0"
grep -q "display" "$WORK/stderr" || fail "the message does not say that there is no display"
grep -q -- "--mode" "$WORK/stderr" || fail "the message does not tell about --mode"

run_player 10 --mode window "$DEMO"
[ "$STATUS" -ne 0 ] || fail "--mode window without a display ended with status 0"
echo "PASS"

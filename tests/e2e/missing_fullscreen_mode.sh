#!/bin/sh
# A fullscreen size the display does not offer (Xvfb offers only its screen size) ends
# the program with "screenmode not found" and a non-zero status, at once: a run started
# with --mode reports on standard error only and never waits on a message box. The
# report names the size asked for, what the display offers and the way out.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_demo
for mode in 640x480 800x600 1024x768; do
    run_player 15 --mode "$mode" "$DEMO"
    [ "$STATUS" -ne 0 ] || fail "--mode $mode on a 1280x1024-only display ended with status 0"
    grep -q "screenmode not found" "$WORK/stderr" || fail "--mode $mode did not report 'screenmode not found'"
    grep -qF "$mode is not offered by this display (it offers 1280x1024); choose WindowMode or run with --mode desktop" \
        "$WORK/stderr" || fail "--mode $mode did not say what the display offers"
done
echo "PASS"

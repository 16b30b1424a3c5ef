#!/bin/sh
# After the settings dialog was shown, an error is also shown in a message box (somebody
# is at the screen), written to standard error, and ends the program non-zero once the
# box is answered: here a fullscreen size the 1280x1024-only display does not offer.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_demo
start_player "$DEMO"
dialog=$(find_window 351 215 20) || fail "the settings dialog did not appear"
# "800x600 Fullscreen" at 20,67 (15 pixels high), then "Run Demo".
xdotool mousemove --window "$dialog" 30 74 click 1
sleep 0.2
xdotool mousemove --window "$dialog" 75 167 click 1

box=
for _ in $(seq 100); do
    box=$(xdotool search --onlyvisible --name '^Taldrex$' 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended without showing a message box"
    sleep 0.1
done
[ -n "$box" ] || fail "no message box titled Taldrex appeared"
grep -q "screenmode not found" "$WORK/stderr" || fail "the error was not written to standard error"
press_key "$box" Return
wait_player 10
[ "$STATUS" -ne 0 ] || fail "the error ended the program with status 0"
echo "PASS"

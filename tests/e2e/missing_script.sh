#!/bin/sh
# A demo folder without a readable script.txt ends the program before any window opens
# (no display is even needed), non-zero, with a message that names the folder.
. "$(dirname "$0")/lib/session.sh"

mkdir -p "$WORK/empty show"
unset DISPLAY WAYLAND_DISPLAY

run_player 10 "$WORK/empty show"
[ "$STATUS" -ne 0 ] || fail "a folder without script.txt ended with status 0"
grep -q "$WORK/empty show" "$WORK/stderr" || fail "the message does not name the folder"
grep -q "script.txt" "$WORK/stderr" || fail "the message does not name script.txt"

run_player 10 --mode window "$WORK/no such show"
[ "$STATUS" -ne 0 ] || fail "a missing folder ended with status 0"
grep -q "$WORK/no such show" "$WORK/stderr" || fail "the message does not name the missing folder"

# Without a folder, a current folder lacking script.txt gives way to the bundled show
# beside the program: the player goes on to open its window (and fails for want of a display).
(cd "$WORK/empty show" && "$TALDREX" --mode window >"$WORK/stdout" 2>"$WORK/stderr")
STATUS=$?
[ "$STATUS" -ne 0 ] || fail "a run without a display ended with status 0"
grep -q "script.txt" "$WORK/stderr" && fail "the bundled show was not found beside the program"
grep -q "demo window" "$WORK/stderr" || fail "the player did not go on to the window"
echo "PASS"

#!/bin/sh
# A save cut short by kill -9 at any moment leaves script.txt whole: the version before
# the save or the one saved, never a mix or none, and the show still checks clean and
# plays. Each round starts the player, steps the first part's camera, presses Ctrl+S and
# kills the player 0 to 300 ms later, most often within the first few ms: notes of 4 MB at
# the end of the script make a save last that long.
. "$(dirname "$0")/lib/session.sh"
. "$(dirname "$0")/lib/edits.sh"

start_xvfb
make_edit_show
awk 'BEGIN { for (i = 0; i < 60000; i++) printf "# note %06d, kept at the end of the script whatever is saved\r\n", i }' \
    >>"$DEMO/script.txt"
"$TALDREX" --check "$DEMO" >"$WORK/check" 2>&1 || fail "the show has problems before any save: $(cat "$WORK/check")"
cp "$DEMO/script.txt" "$WORK/before"

# The script with the first part's camera (line 14) one on: front, side, top, front.
next_camera() {
    awk 'NR == 14 { if (/^front/) sub(/^front/, "side"); else if (/^side/) sub(/^side/, "top"); else sub(/^top/, "front") }
        { print }' "$1"
}

rounds=20
saved=0
round=0
while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    next_camera "$WORK/before" >"$WORK/after"
    start_player --author --no-sound --bpm 120 "$DEMO"
    window=$(find_window 640 480 20) || fail "round $round: no 640x480 window appeared"
    press_key "$window" space
    press_key "$window" v
    byte=$(od -An -N1 -tu1 /dev/urandom)
    delay=$((byte * byte * byte * 300 / (255 * 255 * 255)))
    xdotool keydown ctrl+s
    sleep "$(printf '0.%03d' "$delay")"
    kill -9 "$APP_PID"
    wait "$APP_PID" 2>/dev/null
    APP_PID=
    xdotool keyup ctrl+s

    if cmp -s "$WORK/after" "$DEMO/script.txt"; then
        saved=$((saved + 1))
        cp "$WORK/after" "$WORK/before"
    elif ! cmp -s "$WORK/before" "$DEMO/script.txt"; then
        if [ -f "$DEMO/script.txt" ]; then
            fail "round $round, killed $delay ms after Ctrl+S: script.txt is neither the old nor the new version: $(diff "$WORK/before" "$DEMO/script.txt" | sed -n l)"
        fi
        fail "round $round, killed $delay ms after Ctrl+S: script.txt is gone"
    fi
    "$TALDREX" --check "$DEMO" >"$WORK/check" 2>&1 ||
        fail "round $round, killed $delay ms after Ctrl+S: the show has problems: $(cat "$WORK/check")"
    rm -rf "$WORK/frames"
    "$TALDREX" --capture "$WORK/frames" --size 64x36 --fps 4 --no-sound "$DEMO" >"$WORK/capture" 2>&1 ||
        fail "round $round, killed $delay ms after Ctrl+S: the show does not play: $(cat "$WORK/capture")"
done
echo "  $saved of $rounds saves completed before the kill, $(find "$DEMO" -name '.script.txt.saving-*' | wc -l) left a file behind"
echo "PASS"

#!/bin/sh
# Author mode reloads a scene saved while the show plays: the window shows the new colour
# within half a second and the show goes on at the same clock; a scene cut short keeps the
# old one on screen (and the problem is reported); completed, the new one shows.
. "$(dirname "$0")/lib/session.sh"

"$TALDREX" --help 2>&1 | grep -q -- '--author' || skip "this player has no --author mode"

# A screen of exactly 640x480, so that the fullscreen mode of that size exists.
start_server Xvfb -screen 0 640x480x24 -nolisten tcp -noreset || fail "Xvfb did not start"
"${E2E_MAKE_SHOW:?E2E_MAKE_SHOW names the show-making tool}" "$WORK/show" reload || fail "could not make the show"
DEMO="$WORK/show"

# ms since the epoch.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

shot() {
    import -window root "$WORK/shot.png" || fail "no screenshot"
}
pixel() {
    convert "$WORK/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
near() { # near R,G,B expected R G B
    echo "$1" | awk -F, -v r="$2" -v g="$3" -v b="$4" \
        '{ d = ($1-r)^2 + ($2-g)^2 + ($3-b)^2; exit !(d < 3*40*40) }'
}
# The second part, from 2 s on the show clock to its end, has the blue background; the
# first has none. Blue after a reload means the clock did not start again.
expect_second_part() {
    near "$(pixel 20 300)" 0 0 255 || fail "$1: the background is not the second part's blue: $(pixel 20 300)"
}
# Takes screenshots until the square in the middle has colour R G B; fails when no
# screenshot begun within 0.5 s of $1 (ms) shows it.
expect_square_within() {
    since=$1
    shift
    while :; do
        begun=$(now_ms)
        shot
        if near "$(pixel 320 240)" "$@"; then
            echo "  the square turned $* $((begun - since)) ms after the save"
            return 0
        fi
        [ $((begun - since)) -le 500 ] || fail "the square is $(pixel 320 240), not $*, 0.5 s after the save"
    done
}

start_player --author --no-sound --mode 640x480 "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 2.5
shot
near "$(pixel 320 240)" 0 255 0 || fail "the square is not green at first: $(pixel 320 240)"
expect_second_part "before any change"

# Saved with the other colour: shown within 0.5 s, still in the second part.
saved=$(now_ms)
cp "$DEMO/versions/red.scn" "$DEMO/data/square.scn"
expect_square_within "$saved" 255 0 0
expect_second_part "after the scene changed"

# Cut short, as a save caught half-way: the red square stays and the file is named.
head -c 40 "$DEMO/versions/green.scn" >"$DEMO/data/square.scn"
sleep 1
shot
near "$(pixel 320 240)" 255 0 0 || fail "a scene cut short replaced the one shown: $(pixel 320 240)"
expect_second_part "after the cut-short save"
grep -q 'square.scn' "$WORK/stderr" || fail "the cut-short scene was not reported on standard error"

# Completed: the green square shows.
saved=$(now_ms)
cp "$DEMO/versions/green.scn" "$DEMO/data/square.scn"
expect_square_within "$saved" 0 255 0
expect_second_part "after the scene was completed"

kill -0 "$APP_PID" 2>/dev/null || fail "the player ended during the reloads"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the program with status $STATUS"
echo "PASS"

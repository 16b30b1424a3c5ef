#!/bin/sh
# Author mode's timeline strip under a real mouse: a click seeks to the time under the
# pointer, a drag shows the picture under the pointer and ends where the button is let go,
# a double click jumps to the start of the part. The flash show's one part lasts 4 s
# across the whole 640-pixel strip, and its square appears at 2 s.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
"${E2E_MAKE_SHOW:?}" "$WORK/flash" flash || fail "could not make the flash show"

square_shown() {
    import -window root -crop 20x20+310+230 "$WORK/shot.png" || fail "no screenshot"
    awk "BEGIN { exit !($(convert "$WORK/shot.png" -colorspace Gray -format "%[fx:mean]" info:) > 0.5) }"
}
# Show time in ms to the strip's column, at the strip's middle row (the bar is about 20
# rows high and the strip 60 above it).
at() {
    echo "$(($1 * 640 / 4000)) 430"
}

start_player --author --no-sound "$WORK/flash"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 0.5
press_key "$window" space
press_key "$window" Home
sleep 0.3
! square_shown || fail "the paused show at 0 s shows the square"

# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 3000) click 1
sleep 0.4
square_shown || fail "a click at 3 s did not seek there"
# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 1000) click 1
sleep 0.4
! square_shown || fail "a click at 1 s did not seek back"

# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 500) mousedown 1
# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 3500)
sleep 0.4
square_shown || fail "the picture did not follow the drag to 3.5 s"
# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 1500)
xdotool mouseup 1
sleep 0.4
! square_shown || fail "the drag did not end at 1.5 s, where the button was let go"
sleep 1
! square_shown || fail "the paused show moved on after the drag"

# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(at 3000) click 1
sleep 0.4
square_shown || fail "a click at 3 s did not seek there"
xdotool click --repeat 2 --delay 80 1
sleep 0.4
! square_shown || fail "a double click did not jump to the part's start"

press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with status $STATUS"
echo "PASS"

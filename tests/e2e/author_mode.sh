#!/bin/sh
# Author mode in a real window: the folder's problems listed at start (a normal run names
# only their count, in one line), Space holding the picture, seeks both ways through a
# pop-in (the square of the flash show appears at 2 s), H hiding the status bar, Escape
# (held or tapped between two frames) ending with status 0.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
"${E2E_MAKE_SHOW:?}" "$WORK/flash" flash || fail "could not make the flash show"
DEMO="$WORK/flash"

# The flash show names a soundtrack that is not there: one problem.
run_player 20 --mode window --no-sound "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the show with a problem ended with status $STATUS"
[ "$(grep -c "^taldrex: 1 problem in this show; run taldrex --check $DEMO\$" "$WORK/stderr")" -eq 1 ] ||
    fail "a normal run did not name its problem in one line"
! grep -q "click.mp3" "$WORK/stderr" || fail "a normal run listed its problems"

shot() {
    import -window root -crop 640x480+0+0 "$WORK/shot.png" || fail "no screenshot"
}
# Mean brightness (0..1) of the w x h rectangle at x,y of the screenshot.
brightness() {
    convert "$WORK/shot.png" -crop "$3x$4+$1+$2" +repage -colorspace Gray -format "%[fx:mean]" info:
}
square_shown() {
    shot
    awk "BEGIN { exit !($(brightness 310 230 20 20) > 0.5) }"
}
bar_shown() {
    shot
    awk "BEGIN { exit !($(brightness 0 462 640 18) > 0.01) }"
}

start_player --author --no-sound "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 0.5
grep -q "^taldrex: data/click.mp3: " "$WORK/stderr" || fail "author mode did not list the problem"

press_key "$window" space
press_key "$window" Home
sleep 2.5
! square_shown || fail "the paused show went on to the pop-in at 2 s"
bar_shown || fail "no status bar along the bottom"
for _ in 1 2 3; do press_key "$window" Right; done
sleep 0.3
square_shown || fail "seeking 3 s on did not show the square"
press_key "$window" Left
press_key "$window" Left
sleep 0.3
! square_shown || fail "seeking back to 1 s still shows the square"
press_key "$window" space
sleep 1.8
square_shown || fail "resumed at 1 s, the show did not reach the pop-in"
press_key "$window" h
sleep 0.3
! bar_shown || fail "H did not hide the status bar"
kill -0 "$APP_PID" 2>/dev/null || fail "author mode ended by itself"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with status $STATUS"

# With music (on SDL's dummy device), a pause holds the animated picture still: two
# pictures 2 s apart are the same; resumed, it moves on.
band() {
    import -window root -crop 640x360+0+60 "$WORK/$1.png" || fail "no screenshot"
}
differing() {
    compare -metric AE -fuzz 3% "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 || true
}
SDL_AUDIODRIVER=dummy start_player --author "${TALDREX_BINARY_DIR:?}/show"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1
press_key "$window" space
sleep 0.3
band paused1
sleep 2
band paused2
[ "$(differing paused1 paused2)" = 0 ] || fail "the paused show moved: $(differing paused1 paused2) pixels"
press_key "$window" space
sleep 0.5
band playing
[ "$(differing paused2 playing)" != 0 ] || fail "the resumed show stood still"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with music with status $STATUS"
! grep -q "no audio device" "$WORK/stderr" || fail "the dummy audio device was not opened"

# A tap of Escape whose press and release both arrive between two frames ends it too.
start_player --author --no-sound "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1
tap_key_between_frames "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "a tap of Escape ended author mode with status $STATUS"
echo "PASS"

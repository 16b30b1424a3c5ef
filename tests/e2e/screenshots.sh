#!/bin/sh
# S in a window run: in author mode, paused with the bar hidden, two presses give two files
# in --screenshot-dir, each the window's picture pixel for pixel and at its size, named for
# the show and the clock; in a normal run the file goes to the current folder and standard
# output says so.
. "$(dirname "$0")/lib/session.sh"

"$TALDREX" --help 2>&1 | grep -q -- '--screenshot-dir' || skip "this player takes no screenshots"
command -v compare >/dev/null || skip "ImageMagick is not installed"
start_server Xvfb -screen 0 640x480x24 -nolisten tcp -noreset || fail "Xvfb did not start"
make_small_show

# Waits up to 10 s for $1 files in folder $2.
wait_files() {
    for _ in $(seq 100); do
        [ "$(ls "$2" | wc -l)" -ge "$1" ] && return 0
        sleep 0.1
    done
    fail "expected $1 screenshots in $2, found: $(ls "$2")"
}

mkdir "$WORK/shots"
start_player --author --no-sound --mode 640x480 --screenshot-dir "$WORK/shots" "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1
press_key "$window" space
press_key "$window" h
sleep 0.5
press_key "$window" s
press_key "$window" s
wait_files 2 "$WORK/shots"
sleep 0.3
import -window root "$WORK/window.png" || fail "no grab of the screen"

set -- "$WORK"/shots/*.png
[ $# -eq 2 ] || fail "two presses gave $# files: $*"
for file in "$@"; do
    name=$(basename "$file")
    echo "$name" | grep -Eq '^taldrex-show-[0-9]{2}m[0-9]{2}\.[0-9]{3}s(-2)?\.png$' || fail "unexpected name $name"
    [ "$(identify -format '%wx%h' "$file")" = 640x480 ] || fail "$name is not the window's size"
    differing=$(compare -metric AE "$file" "$WORK/window.png" null: 2>&1)
    [ "$differing" = 0 ] || fail "$name differs from the window's picture in $differing pixels"
    grep -q "^taldrex: screenshot $file (640x480)\$" "$WORK/stdout" || fail "standard output did not name $name"
done
# The same moment twice: the second name has -2 ('-' sorts before '.').
[ "${1%-2.png}.png" = "$2" ] || fail "the second press did not get the -2 name: $*"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with status $STATUS"

# A normal run writes into the folder it was started from.
mkdir "$WORK/here"
cd "$WORK/here" || fail "no folder to start from"
start_player --mode 640x480 --no-sound --loop "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared in a normal run"
sleep 1
press_key "$window" s
wait_files 1 "$WORK/here"
set -- "$WORK"/here/taldrex-show-*.png
[ -f "$1" ] || fail "no screenshot in the starting folder: $(ls "$WORK/here")"
[ "$(identify -format '%wx%h' "$1")" = 640x480 ] || fail "the normal run's screenshot is not the window's size"
grep -q "^taldrex: screenshot $(basename "$1") (640x480)\$" "$WORK/stdout" || fail "standard output did not say so"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the normal run with status $STATUS"
echo "PASS"

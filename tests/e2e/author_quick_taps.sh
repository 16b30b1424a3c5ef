#!/bin/sh
# Editing keys tapped quickly, as on a slow frame: the modifier and the key both pressed and
# let go between two frames still count as the combination. Ctrl+S saves (and takes no
# screenshot), Shift+V steps the camera back, Ctrl+Z undoes.
. "$(dirname "$0")/lib/session.sh"
. "$(dirname "$0")/lib/edits.sh"

start_xvfb
make_edit_show
mkdir "$WORK/shots"
start_player --author --no-sound --bpm 120 --screenshot-dir "$WORK/shots" "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 0.5
press_key "$window" space
press_key "$window" v

problems=
# The first part's camera in script.txt.
camera() {
    sed -n 14p "$DEMO/script.txt" | tr -d '\r'
}
# Taps $1 between frames, saves (by the tap itself for Ctrl+S) and expects camera $2.
tap_then_expect() {
    before=$(lines_with '^taldrex: saved script.txt')
    tap_key_between_frames "$window" "$1"
    sleep 0.4
    [ "$1" = ctrl+s ] || save "$window"
    if [ "$(lines_with '^taldrex: saved script.txt')" -eq "$before" ]; then
        problems="$problems; a tap of $1 between frames saved nothing"
    elif [ "$(camera)" != "$2" ]; then
        problems="$problems; after a tap of $1 the camera is $(camera), not $2"
    fi
}
tap_then_expect ctrl+s side
[ -z "$(ls "$WORK/shots")" ] || problems="$problems; a tap of ctrl+s took a screenshot"
tap_then_expect shift+v front
tap_then_expect ctrl+z side
[ -z "$problems" ] || fail "${problems#; }"

press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with status $STATUS"
echo "PASS"

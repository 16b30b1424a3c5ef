#!/bin/sh
# A two-part show with background, scene and overlay plays to its end and the player
# exits 0 by itself; a frame shows all three layers in the letterboxed band.
. "$(dirname "$0")/lib/session.sh"

start_xvfb
make_small_show
started=$(date +%s%N)
start_player --mode window "$DEMO"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"

# Well inside the first part: read the screen (the window sits at the top left).
sleep 0.8
import -window root -crop 640x480+0+0 "$WORK/shot.png" || fail "no screenshot"
pixel() {
    convert "$WORK/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
near() { # near R,G,B expected R G B
    echo "$1" | awk -F, -v r="$2" -v g="$3" -v b="$4" \
        '{ d = ($1-r)^2 + ($2-g)^2 + ($3-b)^2; exit !(d < 3*40*40) }'
}
scene=$(pixel 320 240)
near "$scene" 0 255 0 || fail "the scene's green square is not in the middle: $scene"
background=$(pixel 20 400)
near "$background" 0 0 255 || fail "the blue background is not at the band's bottom left: $background"
overlay=$(pixel 600 80)
near "$overlay" 255 0 0 || fail "the overlay's red corner is not at the band's top right: $overlay"
above=$(pixel 320 20)
near "$above" 0 0 0 || fail "the rows above the 16:9 band are not black: $above"

wait_player 15
[ "$STATUS" -eq 0 ] || fail "the show ended with status $STATUS"
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$elapsed" -ge 3000 ] || fail "the 3 s show ended after $elapsed ms"
echo "PASS ($elapsed ms)"

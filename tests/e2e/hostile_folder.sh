#!/bin/sh
# A demo folder from a stranger: entries that leave the folder through .. or a symbolic
# link are neither shown nor checked as readable (--allow-outside reads them), and FIFOs
# named as the loading picture, a texture and a scene neither hang the check nor the capture.
. "$(dirname "$0")/lib/session.sh"
unset DISPLAY WAYLAND_DISPLAY

make_small_show
# A red picture beside the folder, and the overlay entries that reach it. A texture that
# was not read draws white, so the green in a frame tells which happened.
convert -size 64x36 xc:red "PNG32:$WORK/secret.png" || fail "could not write the outside picture"
ln -s "$WORK/secret.png" "$DEMO/data/linked.png"
mkfifo "$DEMO/data/loading.jpg" "$DEMO/data/pipe.png" "$DEMO/data/pipe.scn"
cat >"$DEMO/script.txt" <<'SCRIPT'
[textures]
blue.jpg
green.jpg
../../secret.png
linked.png
pipe.png

[scenes]
square.scn
pipe.scn

[part]
square.scn
500
eye
blue.jpg
../../secret.png
[part]
square.scn
1000
eye
blue.jpg
linked.png
SCRIPT

run_player 10 --check "$DEMO"
[ "$STATUS" -eq 1 ] || fail "--check ended with status $STATUS"
for line in "data/../../secret.png: outside the demo folder" "data/linked.png: outside the demo folder" \
            "data/pipe.png: is a FIFO, not a regular file" "data/pipe.scn: is a FIFO, not a regular file"; do
    grep -qF "$line" "$WORK/stdout" || fail "--check does not say \"$line\": $(cat "$WORK/stdout")"
done

run_player 60 --capture "$WORK/kept" --size 64x36 --fps 4 --to 750 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "capture of the hostile folder ended with status $STATUS"
run_player 60 --capture "$WORK/read" --size 64x36 --fps 4 --to 750 --allow-outside "$DEMO"
[ "$STATUS" -eq 0 ] || fail "capture with --allow-outside ended with status $STATUS"

# The red picture shows only where reading outside is allowed, in both parts.
for frame in frame-000001.png frame-000003.png; do
    kept=$(convert "$WORK/kept/$frame" -format '%[fx:mean.g]' info:)
    read=$(convert "$WORK/read/$frame" -format '%[fx:mean.g]' info:)
    awk -v k="$kept" -v r="$read" 'BEGIN { exit !(r < k - 0.2) }' ||
        fail "$frame: the outside picture made no difference (green $kept kept, $read read)"
done
echo "PASS"

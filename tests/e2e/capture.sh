#!/bin/sh
# The bundled show checks clean. Headless capture of it: no display needed, frames named by frame number,
# a --from/--to range equal to the same frames of a longer capture, an unwritable folder
# refused, the same frames from one thread as from several, and a video as long as the
# captured show time.
. "$(dirname "$0")/lib/session.sh"

SHOW="${TALDREX_BINARY_DIR:?}/show"
[ -f "$SHOW/script.txt" ] || fail "the bundled show was not built"
unset DISPLAY WAYLAND_DISPLAY

# The bundled show is a clean demo folder.
run_player 60 --check "$SHOW"
[ "$STATUS" -eq 0 ] || fail "--check found problems in the bundled show: $(cat "$WORK/stdout")"

run_player 120 --capture "$WORK/full" --size 160x90 --fps 10 --to 9000 "$SHOW"
[ "$STATUS" -eq 0 ] || fail "capture ended with status $STATUS"
count=$(ls "$WORK/full" | wc -l)
# Frames 0 to 90 show times 0 to 9000 ms.
[ "$count" -eq 91 ] || fail "expected 91 frames up to 9000 ms at 10 fps, got $count"
[ -f "$WORK/full/frame-000090.png" ] || fail "frame 90 (9000 ms) is missing"
size=$(identify -format '%wx%h' "$WORK/full/frame-000045.png")
[ "$size" = "160x90" ] || fail "frames are $size, not 160x90"

# A range played from the start but written only from --from on matches the long capture.
run_player 120 --capture "$WORK/range" --size 160x90 --fps 10 --from 7550 --to 8800 "$SHOW"
[ "$STATUS" -eq 0 ] || fail "range capture ended with status $STATUS"
ls "$WORK/range" >"$WORK/range.list"
[ "$(head -n 1 "$WORK/range.list")" = "frame-000076.png" ] || fail "the range starts at $(head -n 1 "$WORK/range.list")"
[ "$(tail -n 1 "$WORK/range.list")" = "frame-000088.png" ] || fail "the range ends at $(tail -n 1 "$WORK/range.list")"
while read -r frame; do
    cmp -s "$WORK/range/$frame" "$WORK/full/$frame" || fail "$frame of the range differs from the full capture"
done <"$WORK/range.list"

# The pipelined capture (reads in flight, frames compressed on several threads) writes the
# same bytes as one thread doing everything in turn.
run_player 120 --capture "$WORK/one" --threads 1 --size 320x180 --fps 10 --from 20000 --to 26000 "$SHOW"
[ "$STATUS" -eq 0 ] || fail "single-threaded capture ended with status $STATUS"
for threads in 2 4; do
    run_player 120 --capture "$WORK/many$threads" --threads $threads --size 320x180 --fps 10 --from 20000 --to 26000 "$SHOW"
    [ "$STATUS" -eq 0 ] || fail "capture on $threads threads ended with status $STATUS"
    diff -r "$WORK/one" "$WORK/many$threads" >/dev/null || fail "$threads threads wrote other frames than one"
done
[ "$(ls "$WORK/one" | wc -l)" -eq 61 ] || fail "expected 61 frames from 20000 to 26000 ms at 10 fps"

mkdir -p "$WORK/locked"
chmod 500 "$WORK/locked"
if [ "$(id -u)" -ne 0 ]; then
    run_player 60 --capture "$WORK/locked/frames" --size 160x90 --to 100 "$SHOW"
    [ "$STATUS" -ne 0 ] || fail "capture into an unwritable folder ended with status 0"
    grep -q "$WORK/locked/frames" "$WORK/stderr" || fail "the error does not name the folder"
fi
: >"$WORK/file"
run_player 60 --capture "$WORK/file" --size 160x90 --to 100 "$SHOW"
[ "$STATUS" -ne 0 ] || fail "capture into a plain file ended with status 0"
grep -q "$WORK/file" "$WORK/stderr" || fail "the error does not name the file"

command -v ffprobe >/dev/null 2>&1 || fail "ffmpeg is missing (scripts/install-deps installs it)"
run_player 300 --capture "$WORK/video" --size 160x90 --fps 10 --from 2000 --to 5000 --video "$WORK/show.mp4" "$SHOW"
[ "$STATUS" -eq 0 ] || fail "video capture ended with status $STATUS"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/show.mp4")
awk -v d="$duration" 'BEGIN { exit !(d > 2.8 && d < 3.4) }' || fail "the video lasts $duration s, not 3.1 s"
echo "PASS"

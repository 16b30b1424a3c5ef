#!/bin/sh
# A demo folder from a stranger cannot run commands through --video: soundtrack entries and
# output names full of quotes, ";", "$( )", backticks, spaces and a newline reach ffmpeg
# as plain names. No stray file appears anywhere, each video is written under exactly the
# name given, and it carries the oddly named soundtrack. A soundtrack the player refuses
# (a FIFO, which would block ffmpeg and with it the capture) is not handed to ffmpeg.
. "$(dirname "$0")/lib/session.sh"

unset DISPLAY WAYLAND_DISPLAY
command -v ffmpeg >/dev/null 2>&1 || fail "ffmpeg is missing (scripts/install-deps installs it)"
make_small_show
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=2" -c:a libmp3lame "$WORK/tone.mp3" ||
    fail "could not make the test MP3"
mkdir -p "$WORK/cwd" "$WORK/videos"
cp "$DEMO/script.txt" "$WORK/show.txt"
nl='
'

# One soundtrack entry and one output name per run: "x'; ...; echo '" breaks out of the
# quotes a shell command would put around it, "$( )" and backticks run inside double ones.
capture_with() {
    entry=$1
    video=$2
    cp "$WORK/tone.mp3" "$DEMO/data/$entry"
    { printf '[mp3]\n%s\n\n' "$entry"; cat "$WORK/show.txt"; } >"$DEMO/script.txt"
    (cd "$WORK/cwd" && exec "$TALDREX" --capture "$WORK/videos/frames" --size 160x90 --to 100 --video "$video" "$DEMO") \
        >"$WORK/stdout" 2>"$WORK/stderr" || fail "capture with soundtrack [$entry] ended with status $?"
    [ -f "$video" ] || fail "no video under the name [$video]"
    streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$video" | sort | tr '\n' ' ')
    [ "$streams" = "audio video " ] || fail "the video [$video] has the streams [$streams], not audio and video"
    rm -rf "$WORK/videos/frames"
}

capture_with "x'; touch owned1; echo '.mp3" "$WORK/videos/v'; touch owned2; echo '.mp4"
capture_with '$(touch owned3).mp3' "$WORK/videos/\$(touch owned4) \"q\".mp4"
capture_with '`touch owned5`.mp3' "$WORK/videos/\`touch owned6\`;.mp4"
capture_with "a b \"c\" ; d.mp3" "$WORK/videos/line${nl}break \$(touch owned7)'\"; touch owned8.mp4"

stray=$(find "$WORK" -name 'owned*')
[ -z "$stray" ] || fail "a command ran: $stray"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "files appeared in the working directory: $(ls -A "$WORK/cwd")"
# Counted by entries, as one name holds a newline.
[ "$(find "$WORK/videos" -mindepth 1 -printf x | wc -c)" -eq 4 ] || fail "the output folder holds other files: $(ls -A "$WORK/videos")"
mkfifo "$DEMO/data/pipe.mp3"
{ printf '[mp3]\npipe.mp3\n\n'; cat "$WORK/show.txt"; } >"$DEMO/script.txt"
run_player 30 --capture "$WORK/fifo-frames" --size 160x90 --to 100 --video "$WORK/fifo.mp4" "$DEMO"
[ "$STATUS" -eq 0 ] || fail "capture with a FIFO as the soundtrack ended with status $STATUS"
grep -q "pipe.mp3: is a FIFO" "$WORK/stderr" || fail "the refused soundtrack was not reported"
streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$WORK/fifo.mp4")
[ "$streams" = "video" ] || fail "the video has the streams [$streams], not only video"
echo "PASS"

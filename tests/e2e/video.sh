#!/bin/sh
# --video end to end, checked with ffprobe: H.264 + AAC in MP4, H.264 in Matroska, VP9 +
# Opus in WebM, as many frames as the show time holds, sound as long as the picture and
# in step with it (a click at 2.000 s and a square turning white at part time 60 meet in
# the same frame, also from --from 1000), no frame files unless --capture asks, ranges
# joined without re-encoding, the size, rate and quality options, and an ffmpeg failing
# mid-way (a full disk) reported with the file's name and a non-zero status.
. "$(dirname "$0")/lib/session.sh"

unset DISPLAY WAYLAND_DISPLAY
command -v ffprobe >/dev/null 2>&1 || fail "ffmpeg is missing (scripts/install-deps installs it)"
"${E2E_MAKE_SHOW:?}" "$WORK/show" flash || fail "could not make the flash show"
DEMO="$WORK/show"
# One sample at full swing at 2.000 s (sample 88200 of 44100 per second), silence around it.
ffmpeg -loglevel error -f lavfi -i "aevalsrc='if(eq(n\,88200)\,0.9\,0)':s=44100:d=6" -ac 1 -c:a libmp3lame \
    -b:a 128k "$DEMO/data/click.mp3" || fail "could not make the click MP3"
mkdir -p "$WORK/out" "$WORK/cwd"

# Runs a capture from an empty working folder.
capture() {
    (cd "$WORK/cwd" && exec "$TALDREX" "$@") >"$WORK/stdout" 2>"$WORK/stderr"
    STATUS=$?
}

stream_list() {
    ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$1" | tr '\n' ' '
}

video_frames() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"
}

# Audio samples at 48000 per second from time 0 of the video on, decoded back as a player
# plays them: the encoders' lead-in samples dropped where the file says so, and the
# start padded where the container shifted the sound.
audio_samples() {
    ffmpeg -v error -i "$1" -map 0:a -af aresample=async=1:first_pts=0 -ac 1 -ar 48000 -f s16le - |
        od -An -v -td2 -w2 >"$WORK/samples"
}

# Start time (s) of stream $2 (v or a) of video $1: Matroska and WebM delay the picture
# by the lead-in samples the sound encoder puts first.
start_time() {
    ffprobe -v error -select_streams "$2:0" -show_entries stream=start_time -of csv=p=0 "$1"
}

# Duration (s) of stream $2 (v or a) of video $1, as the file states it: MP4 in the stream,
# Matroska and WebM in its DURATION tag (as H:MM:SS.fraction).
duration() {
    ffprobe -v error -select_streams "$2:0" -show_entries stream=duration:stream_tags=DURATION -of csv=p=0 "$1" |
        tr ',' '\n' | awk -F: '/^[0-9.]+$/ { print; exit } NF == 3 { print $1 * 3600 + $2 * 60 + $3; exit }'
}

# The time (s) of the loudest sample, and of the first frame whose middle is white.
click_time() {
    awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) { m = v; i = NR - 1 } } END { printf "%.6f\n", i / 48000 }' "$WORK/samples"
}
white_time() {
    ffprobe -v error -f lavfi -i "movie=$1,crop=16:16:(iw-16)/2:(ih-16)/2,signalstats" \
        -show_entries frame=pts_time:frame_tags=lavfi.signalstats.YAVG -of csv=p=0 |
        awk -F, '$2 > 128 { print $1; found = 1; exit } END { if (!found) print "none" }'
}

within() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { x = a - b; if (x < 0) x = -x; exit !(x <= d) }'; }

# Checks video $1 at $2 fps: $3 frames, streams "$4", sound ending with the picture and
# the click at $5 s of the picture, on its first white frame.
check_video() {
    [ "$(stream_list "$1")" = "$4" ] || fail "$1 has the streams [$(stream_list "$1")], not [$4]"
    frames=$(video_frames "$1")
    [ "$frames" = "$3" ] || fail "$1 holds $frames frames, not $3"
    # A frame, and a little for rounding.
    frame=$(awk -v fps="$2" 'BEGIN { print 1 / fps + 0.0005 }')
    picture_start=$(start_time "$1" v)
    sound=$(duration "$1" a)
    picture=$(duration "$1" v)
    within "$sound" "$picture" "$frame" || fail "$1: the sound lasts $sound s, the picture $picture s"
    audio_samples "$1"
    click=$(click_time)
    white=$(white_time "$1")
    [ "$white" != none ] || fail "$1 never turns white"
    within "$click" "$(awk -v a="$5" -v b="$picture_start" 'BEGIN { print a + b }')" 0.002 ||
        fail "$1: the click is at $click s, not $5 s after the first frame ($picture_start s)"
    # Part time adds up in single precision, so at some rates it reaches 60 a frame late.
    within "$white" "$click" "$frame" || fail "$1: the first white frame is at $white s, the click at $click s"
    key=$(ffprobe -v error -select_streams v:0 -read_intervals "%+#1" -show_entries frame=key_frame -of csv=p=0 "$1" |
        head -n 1 | cut -d, -f1)
    [ "$key" = 1 ] || fail "$1 does not start with a keyframe"
}

# --video alone: the whole show (frames 0 to 120 at 30 fps), no PNG anywhere.
capture --video "$WORK/out/show.mp4" --size 160x90 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the MP4 capture ended with status $STATUS"
check_video "$WORK/out/show.mp4" 30 121 "h264 aac " 2.000000
[ -z "$(find "$WORK/out" "$WORK/cwd" -name '*.png')" ] || fail "--video alone wrote frame files"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "files appeared in the working folder: $(ls -A "$WORK/cwd")"
# The index comes first, so the video plays while it downloads.
head -c 100000 "$WORK/out/show.mp4" | grep -q moov || fail "the MP4 does not start with its index"
grep -q "121 frames" "$WORK/stderr" || fail "the summary does not count 121 frames: $(cat "$WORK/stderr")"
grep -q "video [0-9.]* MB" "$WORK/stderr" || fail "the summary does not give the video's size"

capture --video "$WORK/out/from.mp4" --size 160x90 --from 1000 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the capture from 1000 ms ended with status $STATUS"
check_video "$WORK/out/from.mp4" 30 91 "h264 aac " 1.000000

capture --video "$WORK/out/show.webm" --size 160x90 --fps 60 --from 1000 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the WebM capture ended with status $STATUS"
check_video "$WORK/out/show.webm" 60 181 "vp9 opus " 1.000000

capture --video "$WORK/out/show.MKV" --size 160x90 --fps 50 --to 3000 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the Matroska capture ended with status $STATUS"
check_video "$WORK/out/show.MKV" 50 151 "h264 aac " 2.000000
ffprobe -v error -show_entries format=format_name -of csv=p=0 "$WORK/out/show.MKV" | grep -q matroska ||
    fail "show.MKV is not Matroska"

# Two ranges joined by ffmpeg's concat demuxer without re-encoding make the whole show.
capture --video "$WORK/out/part1.mp4" --size 160x90 --to 1999 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the first range ended with status $STATUS"
capture --video "$WORK/out/part2.mp4" --size 160x90 --from 2000 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the second range ended with status $STATUS"
printf "file '%s'\nfile '%s'\n" "$WORK/out/part1.mp4" "$WORK/out/part2.mp4" >"$WORK/parts.txt"
ffmpeg -loglevel error -f concat -safe 0 -i "$WORK/parts.txt" -c copy "$WORK/out/joined.mp4" ||
    fail "the ranges could not be joined"
[ "$(video_frames "$WORK/out/joined.mp4")" = 121 ] || fail "the joined video holds $(video_frames "$WORK/out/joined.mp4") frames"
audio_samples "$WORK/out/joined.mp4"
click=$(click_time)
white=$(white_time "$WORK/out/joined.mp4")
within "$white" "$click" 0.0338 || fail "the joined video turns white at $white s, its click is at $click s"

# Frame files and a video together, from the same frames.
capture --capture "$WORK/out/frames" --video "$WORK/out/both.mp4" --size 160x90 --to 1000 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the capture to frames and video ended with status $STATUS"
[ "$(ls "$WORK/out/frames" | wc -l)" -eq 31 ] || fail "expected 31 frame files"
[ "$(video_frames "$WORK/out/both.mp4")" = 31 ] || fail "the video beside the frames holds the wrong count"

# The largest size, and quality: a lower --crf gives a larger file.
capture --video "$WORK/out/uhd.mp4" --size 3840x2160 --preset ultrafast --to 60 "$DEMO"
[ "$STATUS" -eq 0 ] || fail "the 3840x2160 capture ended with status $STATUS"
[ "$(ffprobe -v error -show_entries stream=width,height -select_streams v:0 -of csv=p=0 "$WORK/out/uhd.mp4")" = "3840,2160" ] ||
    fail "the 3840x2160 video has another size"
capture --video "$WORK/out/fine.mp4" --size 320x180 --crf 5 --to 3000 "$DEMO"
capture --video "$WORK/out/coarse.mp4" --size 320x180 --crf 45 --preset veryfast --to 3000 "$DEMO"
[ "$(stat -c %s "$WORK/out/fine.mp4")" -gt "$(stat -c %s "$WORK/out/coarse.mp4")" ] || fail "--crf 5 is not larger than --crf 45"

# Refused before anything starts: odd and too large video sizes, a capture setting alone.
for args in "--size 161x90" "--size 3842x2160" "--size 1920x2162" "--crf 52" "--preset quick"; do
    # shellcheck disable=SC2086
    capture --video "$WORK/out/refused.mp4" $args "$DEMO"
    [ "$STATUS" -eq 2 ] || fail "--video with $args ended with status $STATUS, not 2"
done
capture --fps 25 "$DEMO"
[ "$STATUS" -eq 2 ] || fail "--fps without --capture or --video ended with status $STATUS"
[ ! -e "$WORK/out/refused.mp4" ] || fail "a refused capture wrote a video"

# A disk that fills up mid-way, or, where no small disk can be mounted, ffmpeg killed
# mid-way (also when E2E_NO_MOUNT is set): the capture says which file and ends with
# status 1, and no ffmpeg is left.
if [ "$(id -u)" -eq 0 ] && [ -z "${E2E_NO_MOUNT:-}" ] && mkdir -p "$WORK/small" && mount -t tmpfs -o size=200k tmpfs "$WORK/small" 2>/dev/null; then
    # The bundled show's detailed pictures fill it within a second.
    capture --video "$WORK/small/full.mp4" --size 640x360 --crf 0 --preset ultrafast --to 5000 "${TALDREX_BINARY_DIR:?}/show"
    umount "$WORK/small"
    [ "$STATUS" -eq 1 ] || fail "a capture onto a full disk ended with status $STATUS"
    grep -q "$WORK/small/full.mp4" "$WORK/stderr" || fail "the failure does not name the video"
else
    mkdir -p "$WORK/small"
    start_player --video "$WORK/small/full.mp4" --size 320x180 "${TALDREX_BINARY_DIR:?}/show"
    for _ in $(seq 100); do
        FFMPEG_PID=$(pgrep -f "$WORK/small/full.mp4" | grep -vx "$APP_PID" | head -n 1)
        [ -n "$FFMPEG_PID" ] && break
        sleep 0.1
    done
    [ -n "$FFMPEG_PID" ] || fail "no ffmpeg runs for full.mp4"
    sleep 1
    kill -KILL "$FFMPEG_PID"
    wait_player 10
    [ "$STATUS" -eq 1 ] || fail "a capture whose ffmpeg was killed ended with status $STATUS"
    grep -q "$WORK/small/full.mp4: ffmpeg stopped taking frames" "$WORK/stderr" || fail "the failure does not name the video"
fi
[ -z "$(pgrep -f "full.mp4")" ] || fail "an ffmpeg is left running"
echo "PASS"

#!/bin/sh
# SIGTERM and SIGINT end a video capture of a ten-minute show within a second, with status
# 143 or 130: the frames written so far stay, the video plays with every one of them, and
# ffmpeg, in a process group of its own that a terminal's Ctrl-C does not reach, is gone.
# If ffmpeg dies, the capture says so and ends with status 1. SIGTERM ends a window run
# with status 143.
. "$(dirname "$0")/lib/session.sh"

command -v ffmpeg >/dev/null 2>&1 || fail "ffmpeg is missing (scripts/install-deps installs it)"
unset DISPLAY WAYLAND_DISPLAY

make_small_show
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=600" -ac 1 -ar 22050 -b:a 32k -c:a libmp3lame \
    "$DEMO/data/music.mp3" || fail "could not make the ten-minute MP3"
printf '[mp3]\nmusic.mp3\n\n[textures]\nblue.jpg\ncorner.png\n\n[scenes]\nsquare.scn\n\n[part]\nsquare.scn\n600000\neye\nblue.jpg\ncorner.png\n' \
    >"$DEMO/script.txt"

# Starts a capture into $WORK/$1 and $WORK/$1.mp4, as the leader of its own process group
# like a program run from a terminal, and waits for its first frames and its ffmpeg.
start_capture() {
    setsid "$TALDREX" --capture "$WORK/$1" --size 160x90 --video "$WORK/$1.mp4" "$DEMO" \
        >"$WORK/stdout" 2>"$WORK/stderr" &
    APP_PID=$!
    FFMPEG_PID=
    for _ in $(seq 300); do
        FFMPEG_PID=$(pgrep -f "$WORK/$1.mp4" | grep -vx "$APP_PID" | head -n 1)
        [ -n "$FFMPEG_PID" ] && [ -f "$WORK/$1/frame-000005.png" ] && break
        kill -0 "$APP_PID" 2>/dev/null || fail "the capture ended before it was signalled"
        sleep 0.1
    done
    [ -n "$FFMPEG_PID" ] || fail "no ffmpeg runs for $1.mp4"
    [ "$(ps -o pgid= -p "$APP_PID" | tr -d ' ')" = "$APP_PID" ] || fail "the player does not lead its process group"
    [ "$(ps -o pgid= -p "$FFMPEG_PID" | tr -d ' ')" = "$FFMPEG_PID" ] || fail "ffmpeg shares a process group"
    sleep 1
}

# Checks that capture $1 kept playable frames and a video holding all of them, with no
# ffmpeg left running.
check_stopped_capture() {
    ! kill -0 "$FFMPEG_PID" 2>/dev/null || fail "ffmpeg ($FFMPEG_PID) is still running"
    [ -z "$(pgrep -f "$WORK/$1.mp4")" ] || fail "a process for $1.mp4 is left"
    frames=$(ls "$WORK/$1" | wc -l)
    [ "$frames" -gt 5 ] || fail "only $frames frames were kept"
    last=$(ls "$WORK/$1" | tail -n 1)
    [ "$(identify -format '%wx%h' "$WORK/$1/$last")" = "160x90" ] || fail "the last frame $last is damaged"
    counted=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
        "$WORK/$1.mp4")
    [ "$counted" = "$frames" ] || fail "the video holds $counted frames, not the $frames written"
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/$1.mp4")
    awk -v d="$duration" 'BEGIN { exit !(d > 0) }' || fail "the video has no duration ($duration)"
}

start_capture term
kill -TERM "$APP_PID"
wait_player 1
[ "$STATUS" -eq 143 ] || fail "SIGTERM ended the capture with status $STATUS"
check_stopped_capture term

# Ctrl-C at a terminal signals the whole foreground group.
start_capture int
kill -INT "-$APP_PID"
wait_player 1
[ "$STATUS" -eq 130 ] || fail "SIGINT ended the capture with status $STATUS"
check_stopped_capture int

# ffmpeg gone mid-capture: a failure reported, not a silent end by SIGPIPE.
start_capture lost
kill -KILL "$FFMPEG_PID"
wait_player 5
[ "$STATUS" -eq 1 ] || fail "a capture whose ffmpeg died ended with status $STATUS"
grep -q "ffmpeg stopped taking frames" "$WORK/stderr" || fail "the capture did not say that ffmpeg stopped"

start_xvfb
make_demo
start_player --mode window --no-sound "$DEMO"
find_window 640 480 20 >/dev/null || fail "no 640x480 window appeared"
sleep 0.5
kill -TERM "$APP_PID"
wait_player 5
[ "$STATUS" -eq 143 ] || fail "SIGTERM ended the window run with status $STATUS"
echo "PASS"

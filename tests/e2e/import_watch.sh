#!/bin/sh
# taldrex-scene import --watch beside the player in author mode: a model saved three times
# (once caught half-written, then finished) gives one import per complete save and one
# "kept the last good import" line, and each complete save changes the paused picture;
# the time from each save to the changed picture is printed, not judged. Ctrl-C (SIGINT)
# ends the watch with status 130.
. "$(dirname "$0")/lib/session.sh"

SCENE_TOOL="${TALDREX_BINARY_DIR:?}/tools/taldrex-scene/taldrex-scene"
"$SCENE_TOOL" import --help 2>&1 | grep -q -- '--watch' || skip "this taldrex-scene has no import --watch"
MODELS=
for candidate in "$TALDREX_SOURCE_DIR/../shared/testdata/gltf" "$TALDREX_SOURCE_DIR/../../shared/testdata/gltf" \
                 /work/shared/testdata/gltf; do
    if [ -z "$MODELS" ] && [ -f "$candidate/BoxTextured.gltf" ]; then MODELS=$candidate; fi
done
[ -n "$MODELS" ] || skip "the glTF sample models are not here"
command -v compare >/dev/null || skip "ImageMagick is not installed"

# The box, and the same box turned by 45 degrees about its vertical axis (the mesh node's
# matrix; the camera the importer adds frames the model, so a move or a new size would not
# show).
mkdir "$WORK/model"
cp "$MODELS/BoxTextured.gltf" "$WORK/whole.gltf"
sed '62s/1\.0/0.7071/;64s/0\.0/-0.7071/;70s/0\.0/0.7071/;72s/1\.0/0.7071/' "$WORK/whole.gltf" >"$WORK/turned.gltf"
cmp -s "$WORK/whole.gltf" "$WORK/turned.gltf" && fail "the sample box is not laid out as this test expects"
MODEL="$WORK/model/box.gltf"
cp "$WORK/whole.gltf" "$MODEL"

WATCH_PID=
stop_watch() { if [ -n "$WATCH_PID" ]; then kill -9 "$WATCH_PID" 2>/dev/null; fi; }
trap 'stop_watch; cleanup' EXIT
"$SCENE_TOOL" import --watch "$MODEL" "$WORK/show" >"$WORK/watch.out" 2>"$WORK/watch.err" &
WATCH_PID=$!
for _ in $(seq 100); do
    grep -q '^watching ' "$WORK/watch.out" && break
    sleep 0.1
done
grep -q '^watching ' "$WORK/watch.out" || fail "the watch did not start: $(cat "$WORK/watch.out" "$WORK/watch.err")"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
grab() { import -window root "$1" || fail "no grab of the screen"; }
differing() { compare -metric AE "$1" "$2" null: 2>&1; }
# Grabs the screen until it differs from $2 in more than 100 pixels; prints how long after
# $1 (ms) that grab began. Fails after 10 s.
wait_change() {
    since=$1
    while :; do
        begun=$(now_ms)
        grab "$WORK/now.png"
        if [ "$(differing "$WORK/now.png" "$2")" -gt 100 ]; then
            echo "  $3: the picture changed $((begun - since)) ms after the save"
            cp "$WORK/now.png" "$WORK/shown.png"
            return 0
        fi
        [ $((begun - since)) -le 10000 ] || fail "$3: the picture did not change within 10 s of the save"
    done
}

start_server Xvfb -screen 0 640x480x24 -nolisten tcp -noreset || fail "Xvfb did not start"
start_player --author --no-sound --mode 640x480 "$WORK/show"
window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
sleep 1
press_key "$window" space
press_key "$window" h
sleep 0.5
grab "$WORK/shown.png"

# Save 1: written in place.
saved=$(now_ms)
cp "$WORK/turned.gltf" "$MODEL"
wait_change "$saved" "$WORK/shown.png" "save 1"

# Save 2: caught half-written, the picture stays; finished, it changes.
head -c 4000 "$WORK/whole.gltf" >"$MODEL"
for _ in $(seq 100); do
    grep -q 'kept the last good import' "$WORK/watch.out" && break
    sleep 0.1
done
grep -q 'kept the last good import' "$WORK/watch.out" || fail "the half-written save was not reported: $(cat "$WORK/watch.out")"
sleep 0.5
grab "$WORK/now.png"
[ "$(differing "$WORK/now.png" "$WORK/shown.png")" -le 100 ] || fail "the half-written save changed the picture"
saved=$(now_ms)
cp "$WORK/whole.gltf" "$MODEL"
wait_change "$saved" "$WORK/shown.png" "save 2"

# Save 3: written beside and renamed over, as modelling tools save.
saved=$(now_ms)
cp "$WORK/turned.gltf" "$WORK/model/box.gltf.saving"
mv "$WORK/model/box.gltf.saving" "$MODEL"
wait_change "$saved" "$WORK/shown.png" "save 3"

kill -INT "$WATCH_PID"
for _ in $(seq 50); do kill -0 "$WATCH_PID" 2>/dev/null || break; sleep 0.1; done
wait "$WATCH_PID"
status=$?
WATCH_PID=
[ "$status" -eq 130 ] || fail "SIGINT ended the watch with status $status"
sed 's/^/  watch: /' "$WORK/watch.out"
[ "$(grep -c ' imported ' "$WORK/watch.out")" -eq 4 ] || fail "expected the first import and three more"
[ "$(grep -c 'kept the last good import' "$WORK/watch.out")" -eq 1 ] || fail "expected one kept import"

press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended author mode with status $STATUS"
echo "PASS"

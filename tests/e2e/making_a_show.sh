#!/bin/sh
# The README's way from glTF exports to a playing show, with the real programs: two models
# imported into one new folder, the folder checked clean, and the show played off-screen to
# its end with the models in its pictures.
. "$(dirname "$0")/lib/session.sh"

SCENE_TOOL="${TALDREX_BINARY_DIR:?}/tools/taldrex-scene/taldrex-scene"
MODELS=
for candidate in "$TALDREX_SOURCE_DIR/../shared/testdata/gltf" "$TALDREX_SOURCE_DIR/../../shared/testdata/gltf" \
                 /work/shared/testdata/gltf; do
    if [ -z "$MODELS" ] && [ -f "$candidate/SimpleSkin.gltf" ]; then MODELS=$candidate; fi
done
[ -n "$MODELS" ] || skip "the glTF sample models are not here"
unset DISPLAY WAYLAND_DISPLAY

SHOW="$WORK/my show"
for model in SimpleSkin BoxTextured; do
    "$SCENE_TOOL" import "$MODELS/$model.gltf" "$SHOW" >"$WORK/import.out" 2>"$WORK/import.err" ||
        fail "importing $model: $(cat "$WORK/import.err")"
    grep -q "^imported " "$WORK/import.out" || fail "no summary for $model: $(cat "$WORK/import.out")"
done
[ -f "$SHOW/data/simpleskin.scn" ] && [ -f "$SHOW/data/boxtextured.scn" ] || fail "the scene files are missing"

run_player 60 --check "$SHOW"
[ "$STATUS" -eq 0 ] || fail "--check found problems: $(cat "$WORK/stdout")"

# Two parts: 5.5 s of the skin's animation, then 10 s of the still box.
run_player 120 --capture "$WORK/frames" --size 160x90 --fps 10 "$SHOW"
[ "$STATUS" -eq 0 ] || fail "the capture ended with status $STATUS"
count=$(ls "$WORK/frames" | wc -l)
[ "$count" -ge 150 ] || fail "expected the whole show (15.5 s at 10 fps), got $count frames"
for frame in 000000 000030 000100; do
    lit=$(convert "$WORK/frames/frame-$frame.png" -format '%[fx:maxima]' info:)
    awk -v lit="$lit" 'BEGIN { exit !(lit > 0.5) }' || fail "frame $frame is dark: the model is not in the picture"
done
echo "PASS"

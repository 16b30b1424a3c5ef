#!/bin/sh
# Every scene of the bundled show exported to glTF and imported back in its place: the
# show played from the imported scenes draws the same frames as the bundled show, at the
# reference times, within the reference frames' tolerance. Each difference names the time.
. "$(dirname "$0")/lib/session.sh"

[ "${GALLIUM_DRIVER:-llvmpipe}" = llvmpipe ] || not_applicable "the comparison is made on llvmpipe's pictures, this run uses ${GALLIUM_DRIVER}"

SCENE_TOOL="${TALDREX_BINARY_DIR:?}/tools/taldrex-scene/taldrex-scene"
SHOW="${TALDREX_BINARY_DIR:?}/show"
TIMES="${TALDREX_SOURCE_DIR:?}/tests/fixtures/reference-frames/times"
[ -f "$SHOW/script.txt" ] || skip "the bundled show is not built"
unset DISPLAY WAYLAND_DISPLAY

TRIP="$WORK/trip"
cp -R "$SHOW" "$TRIP"
# Both kinds of file: binary glTF, and JSON with its buffer beside it.
for model in intro.glb orbit.gltf tunnel.glb morph.gltf lights.glb finale.gltf; do
    scene=${model%.*}
    "$SCENE_TOOL" export "$SHOW/data/$scene.scn" "$WORK/$model" --demo "$SHOW" >"$WORK/$scene.export" 2>&1 ||
        fail "exporting $scene: $(cat "$WORK/$scene.export")"
    "$SCENE_TOOL" import "$WORK/$model" "$TRIP" --name "$scene" >"$WORK/$scene.import" 2>&1 ||
        fail "importing $scene: $(cat "$WORK/$scene.import")"
done
cmp -s "$SHOW/data/intro.scn" "$TRIP/data/intro.scn" && fail "the imported scenes did not replace the bundled ones"

failed=
for ms in $(cat "$TIMES"); do
    for show in "$SHOW" "$TRIP"; do
        out="$WORK/$(basename "$show")-$ms"
        run_player 120 --capture "$out" --size 320x180 --fps 30 --from "$ms" --to "$ms" "$show"
        [ "$STATUS" -eq 0 ] || fail "capture of $show at $ms ms ended with status $STATUS"
    done
    # Pixels differing by more than 3 % of full scale in any channel.
    differing=$(compare -metric AE -fuzz 3% "$WORK/show-$ms"/frame-*.png "$WORK/trip-$ms"/frame-*.png null: 2>&1) || true
    echo "at $ms ms: $differing pixels differ"
    [ "${differing%%.*}" -le 32 ] 2>/dev/null || failed="$failed $ms"
done
[ -z "$failed" ] || fail "the round-tripped show differs at$failed ms"
echo "PASS"

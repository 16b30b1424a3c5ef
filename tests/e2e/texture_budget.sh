#!/bin/sh
# A stranger's pictures cannot take the machine's memory. The texture budget counts what a
# picture really costs: its decoded pixels, the copies its texture is built through and the
# levels the driver keeps. With the defaults, a 33 KB one-bit PNG declaring 16384 x 16384
# pixels is refused from its header: a capture of a show holding it (and the other hostile
# pictures) peaks below 300 MB and ends within 2 s, and --check names it with its cost. Of
# ten pictures each within a budget but past it together, those past it are left out and
# reported, and the capture's peak stays within the budget plus the base the same show
# takes with every picture refused. Memcheck finds nothing wrong on the hostile pictures.
. "$(dirname "$0")/lib/session.sh"
unset DISPLAY WAYLAND_DISPLAY

[ -x /usr/bin/time ] || skip "GNU time is not installed (/usr/bin/time)"
make_small_show
"${E2E_MAKE_PICTURES:?E2E_MAKE_PICTURES names the picture-making tool}" "$DEMO/data" ||
    fail "could not write the hostile pictures"
# Under the sanitizers memory is the sanitizer's and time is several times longer: the
# refusals are checked, the peak and the time are not.
sanitized=
ldd "$TALDREX" | grep -q libasan && sanitized=1
PLAYER=$TALDREX

# Writes a script listing the small show's square and the pictures named, each the
# overlay of a part of its own.
write_script() {
    {
        printf '[textures]\nblue.jpg\n'
        for picture in "$@"; do printf '%s\n' "$picture"; done
        printf '\n[scenes]\nsquare.scn\n\n'
        end=0
        for picture in "$@"; do
            end=$((end + 250))
            printf '[part]\nsquare.scn\n%s\neye\nblue.jpg\n%s\n' "$end" "$picture"
        done
    } >"$DEMO/script.txt"
}

# Captures the show (at most $1 seconds, then the player's options) and sets PEAK to its
# peak resident memory in MiB.
capture_peak() {
    limit=$1
    shift
    TALDREX=/usr/bin/time
    run_player "$limit" -f %M -o "$WORK/peak" "$PLAYER" --capture "$WORK/frames" --size 64x36 --fps 4 "$@" "$DEMO"
    TALDREX=$PLAYER
    [ "$STATUS" -eq 0 ] || fail "the capture ended with status $STATUS"
    PEAK=$(($(tail -n 1 "$WORK/peak") / 1024))
}

hostile="onebit.png declared.png declared.jpg progressive.jpg scans.jpg texts.png"
# shellcheck disable=SC2086
write_script $hostile
capture_peak "$([ -n "$sanitized" ] && echo 30 || echo 2)"
echo "the hostile pictures: peak $PEAK MiB"
grep -q "onebit.png: it costs 3.3 GiB of texture memory" "$WORK/stderr" ||
    fail "the one-bit picture was not refused for its cost: $(cat "$WORK/stderr")"
[ -n "$sanitized" ] || [ "$PEAK" -lt 300 ] || fail "the capture of the hostile pictures peaked at $PEAK MiB"

run_player 30 --check "$DEMO"
[ "$STATUS" -eq 1 ] || fail "--check ended with status $STATUS"
grep -q "^data/onebit.png: refused: it costs 3.3 GiB of texture memory (1 GiB of pixels, " "$WORK/stdout" ||
    fail "--check does not name the one-bit picture with its cost: $(cat "$WORK/stdout")"

pictures="picture-0.jpg picture-1.jpg picture-2.jpg picture-3.jpg picture-4.jpg picture-5.jpg picture-6.jpg
picture-7.jpg picture-8.jpg picture-9.jpg"
# shellcheck disable=SC2086
write_script $pictures
capture_peak 60 --texture-memory 1
base=$PEAK
budget=150
capture_peak 60 --texture-memory $budget
echo "ten pictures: peak $PEAK MiB within a budget of $budget MiB over a base of $base MiB"
left_out=
for picture in $pictures; do
    if grep -q "$picture: it costs .* which would pass the show's texture memory" "$WORK/stderr"; then
        left_out="$left_out $picture"
    elif [ -n "$left_out" ]; then
        fail "$picture loaded after$left_out had been left out"
    fi
done
case "$left_out" in
" picture-0.jpg"* | "") fail "expected the first pictures to load and the last to be left out, left out:$left_out" ;;
*" picture-9.jpg") ;;
*) fail "the last picture was not left out:$left_out" ;;
esac
[ -n "$sanitized" ] || [ "$PEAK" -le $((base + budget)) ] ||
    fail "the capture peaked at $PEAK MiB, past the budget of $budget MiB over the base of $base MiB"

# Under valgrind's memcheck the hostile pictures cause no invalid read or write and no
# definitely lost block (the sanitizer suite runs this script under its own checks).
if [ -z "$sanitized" ] && command -v valgrind >/dev/null 2>&1; then
    # shellcheck disable=SC2086
    write_script $hostile
    TALDREX=valgrind
    run_player 280 --tool=memcheck --error-exitcode=99 --undef-value-errors=no --keep-debuginfo=yes \
        --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
        --suppressions="${TALDREX_SOURCE_DIR:?}/tests/valgrind.supp" --num-callers=40 \
        "$PLAYER" --capture "$WORK/frames" --size 64x36 --fps 4 "$DEMO"
    TALDREX=$PLAYER
    [ "$STATUS" -ne 99 ] || fail "memcheck found errors on the hostile pictures"
    [ "$STATUS" -eq 0 ] || fail "the capture under memcheck ended with status $STATUS"
fi
echo "PASS"

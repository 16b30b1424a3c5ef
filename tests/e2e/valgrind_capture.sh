#!/bin/sh
# Five seconds of the bundled show captured under valgrind's memcheck: no invalid read or
# write and no definitely lost block, apart from the system's own reports in
# tests/valgrind.supp.
. "$(dirname "$0")/lib/session.sh"

command -v valgrind >/dev/null 2>&1 || skip "valgrind is not installed"
# A sanitizer build brings its own allocator, which memcheck cannot watch.
ldd "$TALDREX" | grep -q libasan && not_applicable "the player is built with AddressSanitizer"
SHOW="${TALDREX_BINARY_DIR:?}/show"
[ -f "$SHOW/script.txt" ] || fail "the bundled show was not built"
unset DISPLAY WAYLAND_DISPLAY

PLAYER=$TALDREX
TALDREX=valgrind
# Uninitialised-value reports are left out: the driver's code generator raises them by
# the thousand and they say nothing about reads or writes out of bounds. Debug information
# of unloaded libraries is kept so that the driver's leaks still name it.
run_player 280 --tool=memcheck --error-exitcode=99 --undef-value-errors=no --keep-debuginfo=yes \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --suppressions="${TALDREX_SOURCE_DIR:?}/tests/valgrind.supp" --num-callers=40 \
    "$PLAYER" --capture "$WORK/frames" --size 160x90 --to 5000 "$SHOW"
[ "$STATUS" -ne 99 ] || fail "memcheck found errors"
[ "$STATUS" -eq 0 ] || fail "the capture ended with status $STATUS"
frames=$(ls "$WORK/frames" | wc -l)
[ "$frames" -eq 151 ] || fail "expected 151 frames of the first 5 s, got $frames"
grep -E "ERROR SUMMARY|definitely lost:" "$WORK/stderr"
echo "PASS"

#!/bin/sh
# Watching on today's screens, under Xvfb at 1920x1080 and at 1280x1024: "--mode desktop"
# covers the whole screen with a borderless window whose 16:9 band fills a 16:9 screen
# and lies 720 rows high at y = 152 on the 5:4 one; "--mode 1280x720" opens a window of
# that client size, which F takes to desktop fullscreen and back. The window tests of test_desktop (OnXScreen.*) run on the same screens:
# viewports read back from OpenGL, resizes, the fullscreen toggle and the swap interval.
. "$(dirname "$0")/lib/session.sh"

TEST_DESKTOP="${TALDREX_BINARY_DIR:?}/tests/test_desktop"
[ -x "$TEST_DESKTOP" ] || fail "$TEST_DESKTOP is not built"

stop_server() {
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=
}

# Runs the OnXScreen tests matching $2 on the current screen of size $1; none may skip.
run_window_tests() {
    TALDREX_TEST_SCREEN=$1 "$TEST_DESKTOP" --gtest_filter="$2" >"$WORK/gtest.log" 2>&1 \
        || { cat "$WORK/gtest.log" >&2; fail "window tests $2 failed on $1"; }
    grep -q "SKIPPED" "$WORK/gtest.log" && fail "window tests $2 skipped on $1"
    grep -q "PASSED" "$WORK/gtest.log" || fail "window tests $2 ran nothing on $1"
}

# Colour of pixel $1,$2 of the screenshot as R,G,B in 0..255.
pixel() {
    convert "$WORK/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
is_blue() { echo "$1" | awk -F, '{ exit !($1 < 60 && $2 < 60 && $3 > 190) }'; }
is_black() { echo "$1" | awk -F, '{ exit !($1 < 30 && $2 < 30 && $3 < 30) }'; }

make_small_show
for screen in 1920x1080 1280x1024; do
    width=${screen%x*}
    height=${screen#*x}
    start_server Xvfb -screen 0 "${screen}x24" -nolisten tcp -noreset || fail "Xvfb did not start at $screen"

    run_window_tests "$screen" "OnXScreen.*-OnXScreen.Vsync*"
    # Xvfb's GLX has no swap control; over EGL the swap interval is requested and reported.
    SDL_VIDEO_X11_FORCE_EGL=1 run_window_tests "$screen" "OnXScreen.Vsync*"

    # The player: the show's blue background fills the band, black rows outside it.
    # Looping, so that a slow build still shows the show when the screenshot is taken.
    start_player --mode desktop --no-sound --loop "$DEMO"
    window=$(find_window "$width" "$height" 20) || fail "no ${screen} window for --mode desktop"
    band=$((width * 9 / 16))
    top=$(((height - band) / 2))
    # The loading picture comes first; wait for the show's own background.
    for _ in $(seq 100); do
        import -window root "$WORK/shot.png" || fail "no screenshot"
        is_blue "$(pixel 10 $((top + 2)))" && break
        sleep 0.2
    done
    # Screen rows count from the top; the band's first and last rows, and the rows around it.
    is_blue "$(pixel 10 $((top + 2)))" || fail "$screen: the band does not start at row $top: $(pixel 10 $((top + 2)))"
    is_blue "$(pixel 10 $((top + band - 3)))" || fail "$screen: the band does not reach row $((top + band - 1))"
    if [ "$top" -gt 0 ]; then
        is_black "$(pixel 10 $((top - 3)))" || fail "$screen: the rows above the band are not black"
        is_black "$(pixel 10 $((top + band + 2)))" || fail "$screen: the rows below the band are not black"
    fi
    press_key "$window" Escape
    wait_player 10
    [ "$STATUS" -eq 0 ] || fail "--mode desktop on $screen ended with status $STATUS"

    # F toggles the player's window to desktop fullscreen and back.
    start_player --mode 1280x720 --no-sound "$DEMO"
    window=$(find_window 1280 720 20) || fail "no 1280x720 window for --mode 1280x720 on $screen"
    press_key "$window" f
    find_window "$width" "$height" 10 >/dev/null || fail "F did not take the window to desktop fullscreen on $screen"
    press_key "$window" f
    find_window 1280 720 10 >/dev/null || fail "F did not bring the 1280x720 window back on $screen"
    press_key "$window" Escape
    wait_player 10
    [ "$STATUS" -eq 0 ] || fail "--mode 1280x720 on $screen ended with status $STATUS"
    stop_server
done
echo "PASS"

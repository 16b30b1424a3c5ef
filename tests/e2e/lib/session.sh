# Shared by the end-to-end scripts (sourced with the player's path as $1): a private X
# server, a demo folder of our own, the player run in the background, waits with time
# limits, and cleanup of everything started here whatever the outcome.

TALDREX=${1:?usage: $0 path/to/taldrex}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/taldrex-e2e.XXXXXX")
SERVER_PID=
APP_PID=
STATUS=
TITLE="Quorin - Taldrex"
# CTest reads this status as "skipped".
SKIPPED=77

cleanup() {
    if [ -n "$APP_PID" ]; then kill -9 "$APP_PID" 2>/dev/null; fi
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null
        wait "$SERVER_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$WORK/stderr" ]; then sed 's/^/  player: /' "$WORK/stderr" >&2; fi
    exit 1
}

# Ends the test because something of the machine is missing (a tool, a driver, root): a
# skip, or under CI (the CI variable set) a failure, so that an install step that did not
# run cannot turn the test green.
skip() {
    case "${CI:-}" in
    "" | 0 | false) ;;
    *) fail "missing under CI: $*" ;;
    esac
    echo "SKIP: $*"
    exit $SKIPPED
}

# Ends the test because it does not apply to this build (sanitizers, a software
# rasteriser other than the one its pictures were drawn with): a skip, under CI as well.
not_applicable() {
    echo "SKIP: $*"
    exit $SKIPPED
}

# A demo folder whose one part lasts ten minutes of black screen, so the player stays
# up until the test ends it.
make_demo() {
    mkdir -p "$WORK/demo"
    printf '[part]\nnothing\n600000\ncamera\nstandard\nstandard\n' >"$WORK/demo/script.txt"
    DEMO="$WORK/demo"
}

# The small show of make_show: two parts (1.5 s and 3 s) with background, overlay and a scene.
make_small_show() {
    "${E2E_MAKE_SHOW:?E2E_MAKE_SHOW names the show-making tool}" "$WORK/show" || fail "could not make the small show"
    DEMO="$WORK/show"
}

# Starts an X server command (it must accept -displayfd) and exports its DISPLAY.
# Returns non-zero when it does not come up within 10 seconds.
start_server() {
    rm -f "$WORK/display"
    "$@" -displayfd 3 3>"$WORK/display" >"$WORK/server.log" 2>&1 &
    SERVER_PID=$!
    for _ in $(seq 100); do
        if grep -q '^[0-9][0-9]*$' "$WORK/display" 2>/dev/null; then
            DISPLAY=":$(head -n 1 "$WORK/display")"
            export DISPLAY
            unset XAUTHORITY
            return 0
        fi
        kill -0 "$SERVER_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=
    return 1
}

# Skips the test where an Xorg server with the dummy driver and our own configuration
# cannot be run.
require_dummy_xorg() {
    command -v Xorg >/dev/null || skip "Xorg is not installed"
    command -v xrandr >/dev/null || skip "xrandr is not installed"
    [ "$(id -u)" -eq 0 ] || skip "Xorg with a configuration of our own needs root"
    ls /usr/lib/xorg/modules/drivers/dummy_drv.so >/dev/null 2>&1 || skip "the dummy video driver is not installed"
}

start_xvfb() {
    # -noreset: a server that resets when its last client leaves refuses the next one for a moment.
    start_server Xvfb -screen 0 1280x1024x24 -nolisten tcp -noreset || fail "Xvfb did not start"
}

# Runs the player in the background with the given arguments.
start_player() {
    "$TALDREX" "$@" >"$WORK/stdout" 2>"$WORK/stderr" &
    APP_PID=$!
}

# Waits up to $1 seconds for the player to end and sets STATUS to its exit status.
wait_player() {
    for _ in $(seq $(($1 * 10))); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID"
            STATUS=$?
            APP_PID=
            return 0
        fi
        sleep 0.1
    done
    fail "the player did not end within $1 s"
}

# Runs the player in the foreground (at most $1 seconds) and sets STATUS.
run_player() {
    limit=$1
    shift
    start_player "$@"
    wait_player "$limit"
}

# Prints the id of a visible window titled exactly like the player's, of width $1 and
# height $2, waiting up to $3 seconds; returns non-zero when none appears.
find_window() {
    for _ in $(seq $(($3 * 10))); do
        for id in $(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
            if [ "${WIDTH:-}" = "$1" ] && [ "${HEIGHT:-}" = "$2" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Holds a key down on window $1 for a moment, as a person would press it: the player
# reads keys once per frame, so a press and release within one frame go unseen.
press_key() {
    xdotool windowfocus "$1" 2>/dev/null
    sleep 0.1
    xdotool keydown "$2"
    sleep 0.3
    xdotool keyup "$2"
}

# Presses and releases a key on window $1 while the player is stopped, so that both
# arrive between two of its frames, as a quick tap on a slow frame does.
tap_key_between_frames() {
    xdotool windowfocus "$1" 2>/dev/null
    sleep 0.1
    kill -STOP "$APP_PID"
    xdotool keydown "$2" keyup "$2"
    kill -CONT "$APP_PID"
}

# The exact title of window $1.
window_title() {
    xdotool getwindowname "$1"
}

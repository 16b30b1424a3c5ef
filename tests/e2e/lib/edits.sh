# Shared by the scripts that edit a show in author mode (sourced after session.sh): the
# three-part show of make_show's "cameras" mode under a script of the kind people write
# (CRLF, comments, headers in mixed case, parts apart by empty lines), the strip's columns
# and the waits for a save.

# Prints its arguments as CRLF lines.
crlf() {
    printf '%s\r\n' "$@"
}

# Prints the show's script with the parts given as END CAMERA BACKGROUND OVERLAY, four
# words a part, all through square.scn.
show_script() {
    crlf '# Three parts through the square, cut on beats at 120 BPM' '[Textures]' blue.jpg green.jpg \
        corner.png '' '[Scenes]' square.scn '' '# the opening, from the front'
    first=1
    while [ $# -ge 4 ]; do
        [ -n "$first" ] || crlf ''
        first=
        crlf '[Part]' square.scn "$1" "$2" "$3" "$4"
        shift 4
    done
    crlf '# end of the show'
}

# Makes the show in $WORK/show (DEMO) with parts ending at 2250, 4000 and 6000 ms, and
# keeps its script as $WORK/original.
make_edit_show() {
    "${E2E_MAKE_SHOW:?E2E_MAKE_SHOW names the show-making tool}" "$WORK/show" cameras ||
        fail "could not make the show with three cameras"
    DEMO="$WORK/show"
    show_script 2250 front blue.jpg standard 4000 side standard standard 6000 top blue.jpg corner.png \
        >"$WORK/original"
    cp "$WORK/original" "$DEMO/script.txt"
}

# The strip's column for show time $1 ms in a show that ends at $SHOW_END ms.
SHOW_END=6000
column() {
    echo $(($1 * 640 / SHOW_END))
}

# Drags with the left button on window $1 along the strip from column $2 to column $3.
drag() {
    xdotool mousemove --window "$1" "$2" 430 mousedown 1
    sleep 0.2
    xdotool mousemove --window "$1" $((($2 + $3) / 2)) 430
    sleep 0.1
    xdotool mousemove --window "$1" "$3" 430
    sleep 0.2
    xdotool mouseup 1
    sleep 0.3
}

# How many lines on the player's standard error match the basic regular expression $1.
lines_with() {
    grep -c -- "$1" "$WORK/stderr"
}

# Presses Ctrl+S on window $1 and waits up to 5 s for one more line on standard error
# matching $2 (a line starting "taldrex: saved script.txt" unless given).
save() {
    said=${2:-^taldrex: saved script.txt}
    before=$(lines_with "$said")
    press_key "$1" ctrl+s
    for _ in $(seq 50); do
        [ "$(lines_with "$said")" -gt "$before" ] && return 0
        sleep 0.1
    done
    fail "Ctrl+S printed no line matching \"$said\""
}

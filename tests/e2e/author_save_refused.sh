#!/bin/sh
# Author mode does not save a show it cannot write back: one played from a .zip, or from a
# folder it may not write to. Ctrl+S says why on standard error and leaves everything on
# disk as it was; the edits stay, so that once the folder may be written the next Ctrl+S
# saves them.
. "$(dirname "$0")/lib/session.sh"
. "$(dirname "$0")/lib/edits.sh"

start_xvfb
make_edit_show
show_script 1000 front blue.jpg standard 2250 front blue.jpg standard 4000 side standard standard \
    6000 top blue.jpg corner.png >"$WORK/expected"

# Starts the player on $1, cuts the first part at 1 s and presses Ctrl+S, expecting the
# refusal; sets window.
cut_and_refused_save() {
    start_player --author --no-sound --bpm 120 "$@"
    window=$(find_window 640 480 20) || fail "no 640x480 window appeared"
    sleep 0.5
    press_key "$window" space
    press_key "$window" Home
    press_key "$window" Right
    press_key "$window" c
    save "$window" "script.txt not saved: ."
}

# Every file under $1 with its contents' checksum, names sorted.
listing() {
    (cd "$1" && find . -print | LC_ALL=C sort | while read -r f; do
        if [ -f "$f" ]; then echo "$f $(cksum <"$f")"; else echo "$f"; fi
    done)
}

# A zip of the show.
mkdir "$WORK/zip"
if command -v zip >/dev/null; then
    (cd "$DEMO" && zip -qrX "$WORK/zip/show.zip" .) || fail "zip could not pack the show"
elif command -v python3 >/dev/null; then
    python3 -c 'import shutil, sys; shutil.make_archive(sys.argv[1], "zip", sys.argv[2])' \
        "$WORK/zip/show" "$DEMO" || fail "python3 could not pack the show"
else
    skip "neither zip nor python3 is installed"
fi
cp "$WORK/zip/show.zip" "$WORK/show.zip.before"
listing "$WORK/zip" >"$WORK/zip.before"
cut_and_refused_save "$WORK/zip/show.zip"
kill -9 "$APP_PID"
wait "$APP_PID" 2>/dev/null
APP_PID=
cmp -s "$WORK/show.zip.before" "$WORK/zip/show.zip" || fail "saving a show played from a zip changed the zip"
listing "$WORK/zip" | cmp -s "$WORK/zip.before" - || fail "saving a show played from a zip left files beside it"
if grep -q '^taldrex: saved script.txt' "$WORK/stderr"; then fail "a show played from a zip was reported saved"; fi

# A folder the player may not write to. Root writes anywhere, so there the player runs as
# nobody on a folder nobody owns.
chmod 755 "$WORK"
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || skip "as root the player needs setpriv to run as nobody"
    chown -R 65534:65534 "$DEMO"
    TALDREX_USER=$TALDREX
    TALDREX=$WORK/as-nobody
    printf '#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups "%s" "$@"\n' "$TALDREX_USER" >"$TALDREX"
    chmod 755 "$TALDREX"
fi
chmod a-w "$DEMO"
listing "$DEMO" >"$WORK/folder.before"
cut_and_refused_save "$DEMO"
listing "$DEMO" | cmp -s "$WORK/folder.before" - || fail "a refused save in a read-only folder changed it"
if grep -q '^taldrex: saved script.txt' "$WORK/stderr"; then fail "a show in a read-only folder was reported saved"; fi

chmod u+w "$DEMO"
save "$window"
cmp -s "$WORK/expected" "$DEMO/script.txt" ||
    fail "the edit kept through the refusal was not saved: $(diff "$WORK/expected" "$DEMO/script.txt" | sed -n l)"
cmp -s "$WORK/original" "$DEMO/script.txt~" || fail "script.txt~ is not the script as it was"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape after the save ended author mode with status $STATUS"
echo "PASS"

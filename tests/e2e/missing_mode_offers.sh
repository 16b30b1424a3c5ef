#!/bin/sh
# On an Xorg server with the dummy driver offering 1024x768 and 800x600 (and a few modes
# of its own) but not 640x480,
# "--mode 640x480" ends with "screenmode not found" followed by the modes the display
# really offers and the way out, and the desktop mode is left as it was. Skipped where
# such a server cannot be started.
. "$(dirname "$0")/lib/session.sh"

require_dummy_xorg

cat >"$WORK/dummy.conf" <<'CONF'
Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    # Line rates every 640x480 mode lies below, so the driver's own modes add none.
    HorizSync 45.0 - 50.0
    VertRefresh 50.0 - 80.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "800x600" 50.00 800 856 976 1040 600 637 643 666 +hsync +vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600"
    EndSubSection
EndSection
Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
CONF

start_server Xorg -noreset -nolisten tcp -config "$WORK/dummy.conf" -logfile "$WORK/xorg.log" \
    || skip "the dummy-driver Xorg server did not start"
current_mode() {
    xrandr --current | awk '/\*/ { print $1; exit }'
}
[ "$(current_mode)" = "1024x768" ] || skip "the dummy server did not start in 1024x768 (it shows $(current_mode))"
xrandr --current | grep -q "^ *640x480 " && skip "the dummy server offers 640x480 anyway"

make_demo
run_player 15 --mode 640x480 --no-sound "$DEMO"
[ "$STATUS" -ne 0 ] || fail "--mode 640x480 ended with status 0 on a display without that mode"
grep -q "^taldrex: screenmode not found: 640x480 is not offered by this display (it offers 1024x768, [^;]*800x600" \
    "$WORK/stderr" || fail "the report does not list the offered modes"
sed 's/.*it offers//' "$WORK/stderr" | grep -q "640x480" && fail "the report lists 640x480 as offered"
grep -qF "); choose WindowMode or run with --mode desktop" "$WORK/stderr" || fail "the report gives no way out"
[ "$(current_mode)" = "1024x768" ] || fail "the desktop mode changed to $(current_mode)"
echo "PASS"

#!/bin/sh
# A real display-mode switch: on an Xorg server with the dummy driver (1024x768 desktop,
# 800x600 among its modes) "--mode 800x600" switches to 800x600 for the show and Escape
# brings the desktop mode back, as does F, which toggles to a window. Skipped where such a
# server cannot be started.
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
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
    Modeline "640x480" 25.18 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600" "640x480"
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

make_demo
start_player --mode 800x600 --no-sound "$DEMO"
window=$(find_window 800 600 20) || fail "no 800x600 window appeared"
mode=$(current_mode)
[ "$mode" = "800x600" ] || fail "the display shows $mode during the show, not 800x600"

press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape ended the program with status $STATUS"
mode=$(current_mode)
[ "$mode" = "1024x768" ] || fail "the desktop mode was not restored (the display shows $mode)"

# F leaves the switched mode for a 640x480 window with the desktop mode back, and F again
# covers the desktop at its own 1024x768 without switching modes.
start_player --mode 800x600 --no-sound "$DEMO"
window=$(find_window 800 600 20) || fail "no 800x600 window appeared the second time"
press_key "$window" f
find_window 640 480 10 >/dev/null || fail "F did not give a 640x480 window"
mode=$(current_mode)
[ "$mode" = "1024x768" ] || fail "F left the display in $mode"
press_key "$window" f
find_window 1024 768 10 >/dev/null || fail "F did not cover the 1024x768 desktop"
mode=$(current_mode)
[ "$mode" = "1024x768" ] || fail "desktop fullscreen switched the display to $mode"
press_key "$window" Escape
wait_player 10
[ "$STATUS" -eq 0 ] || fail "Escape after the toggles ended the program with status $STATUS"
echo "PASS"

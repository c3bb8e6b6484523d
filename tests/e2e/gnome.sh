#!/bin/bash
# The real picker on headless GNOME (mutter), through XWayland: driven by
# mutter's own remote-desktop pointer, the screen read back from its screen
# cast (both through zorvi_gnomehand), the region through zorvi-settings.
# Prints a line for each expectation that fails and exits 1 if any did.
#
#     tools/gnome-session.sh tests/e2e/gnome.sh ZORVI ZORVI_SETTINGS ZORVI_GNOMEHAND
source "$(dirname "$0")/../common/check.sh"
zorvi=$1 zs=$2 gnomehand=$3
export XDG_CONFIG_HOME=$tmp/config
# The picker alone: no recorder, and no notification on the bus that none is there.
export ZORVI_NO_RECORD=1

# The eye: the screen cast's newest frame.
screen() { point "shot ${1/,/ } ${2/x/ } $tmp/screen.ppm" && cat "$tmp/screen.ppm"; }
source "$(dirname "$0")/../common/wayland.sh"
hand "$gnomehand"
within 20 grep -q ready "$tmp/pointer.out" || { echo "FAIL: no screen cast"; exit 1; }

"$zs" init --border 3 >/dev/null || fail "no key"
below 1280x720 # wev, 640 x 480, centred
start
through

check=drag
drag 680 108 780 158
# Through XWayland the pointer's place over a window on the move is reckoned
# from where mutter last drew the window: under load a quick drag may end a
# step or so of its path off (5 px across, 2 down). Wherever it ends, the
# store names that place to the pixel.
landed() {
    read -r x y w h < <(region)
    [ "$w $h" = "600 338" ] && (((x - 200) ** 2 <= 100 && (y - 170) ** 2 <= 25))
}
within 10 landed || fail "not dragged: $(region)"
framed
through

check=resize
resize
through

check=forced_wayland
# Told to be a Wayland window, which mutter would place itself: refused, and
# said on the desktop too.
kill $picker
dbus-monitor "interface='org.freedesktop.Notifications',member='Notify'" >"$tmp/bus" 2>&1 &
within 10 grep -q member=NameLost "$tmp/bus" # a monitor now
QT_QPA_PLATFORM=wayland timeout 20 "$zorvi" 2>"$tmp/forced.log"
same "$? $(grep -c 'offers no zwlr_layer_shell_v1' "$tmp/forced.log")" "1 1"
within 10 grep -q 'string "Zorvi cannot start"' "$tmp/bus" || fail "no notification of the refusal"

exec 3>&-
exit $failed

#!/bin/bash
# zorvi-settings record in a Wayland session: the frames from the desktop's
# screen-cast portal, under the real picker (through XWayland) on a headless
# GNOME compositor. The portal's dialog is answered by mutter's own
# remote-desktop pointer, which also drags the picker and reads the screen
# (GNOMEHAND); the files are read back by ffprobe and ffmpeg as a player would.
# Prints a line for each expectation that fails and exits 1 if any did.
#
#     tools/gnome-session.sh tests/e2e/portal.sh ZORVI ZORVI_SETTINGS GNOMEHAND
source "$(dirname "$0")/../common/check.sh"
zorvi=$1 zs=$2 gnomehand=$3
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state
videos=$tmp/videos token=$tmp/state/zorvi/screencast-token
title=48a4f6 frame=d42b10 green=2e9e4a magenta=b0309f
region() { "$zs" region "$@" 2>/dev/null; }
source "$(dirname "$0")/../common/takefiles.sh"
# The events record printed so far (--json), and a field of the Nth of a kind.
events() { grep -c "\"event\":\"$1\"" "$tmp/out"; }
field() { grep "\"event\":\"$1\"" "$tmp/out" | sed -n "$2p" | sed -n "s/.*\"$3\":\"\\{0,1\\}\([^\",}]*\).*/\1/p"; }
source "$(dirname "$0")/../../tools/gnome-hand.sh"
"$zs" init >/dev/null

# record's own lines on a bus where nothing is started but what its service
# folder holds; the bus's own messages left out.
without() {
    mkdir -p "$tmp/services" "$tmp/portals"
    sed "s|<standard_session_servicedirs */>|<servicedir>$tmp/services</servicedir>|" \
        /usr/share/dbus-1/session.conf >"$tmp/bus.conf"
    XDG_DESKTOP_PORTAL_DIR=$tmp/portals timeout 60 dbus-run-session --config-file="$tmp/bus.conf" \
        -- bash -c '"$@" 2>&1; echo "exit $?"' - "$zs" record --dir "$videos" 2>/dev/null
}
check="no portal: one line naming what to install"
same "$(without)" "zorvi-settings: no desktop portal on the session bus: install xdg-desktop-portal and xdg-desktop-portal-gnome (record asks it for the screen in a Wayland session)
exit 1"
check="a portal without a screen-cast backend: one line naming it"
cp /usr/share/dbus-1/services/org.freedesktop.portal.Desktop.service "$tmp/services/"
same "$(without)" "zorvi-settings: the desktop portal has no screen-cast backend: install xdg-desktop-portal-gnome
exit 1"

check="the desktop comes up"
start_hand "$gnomehand" || fail "no hand"
# Two colours side by side to record and drag across: X11 windows, which
# mutter places where it will (-geometry is a wish): left and right are told
# by what it did.
display -size 620x500 "xc:#$green" &
within 20 seen $green || fail "no green window"
display -size 620x500 "xc:#$magenta" &
within 20 seen $magenta || fail "no magenta window"
left=$green right=$magenta
[ "${reply%% *}" -lt 300 ] && left=$magenta right=$green
# The picker alone: the recorder is started here, to read its lines.
ZORVI_NO_RECORD=1 "$zorvi" &
within 20 seen $title || fail "no picker"
# Where it stands from the start, over the left window.
within 10 eval '[ "$(region)" = "100 120 600 338" ]' || fail "not published: $(region)"
"$zs" record --dir "$videos" --json >"$tmp/out" 2>"$tmp/err" &
recorder=$!
capture() { click $(($1 + 190)) $(($2 - 10)); } # the capture button of a region at X Y

check="a cancelled dialog: one line, then nothing until capture is switched on again"
capture 100 120
within 30 seen $cancel || fail "no dialog: open_cam $("$zs" get open_cam), $(cat "$tmp/err")"
click $(centre "$reply")
within 10 eval '[ "$(grep -c "no take" "$tmp/err")" = 1 ]' || fail "no line: $(cat "$tmp/err")"
grep -q "no take: the desktop's screen-sharing dialog was cancelled; the next starts when capture is switched on again" \
    "$tmp/err" || fail "$(cat "$tmp/err")"
sleep 2
! seen $cancel || fail "the dialog came back"
same "$(grep -c "no take" "$tmp/err"),$(events recording)" "1,0"

check="capture switched off while the dialog is up: the dialog goes"
capture 100 120
capture 100 120
within 30 seen $greyed || fail "no dialog: $(cat "$tmp/err")"
capture 100 120
within 10 eval '! seen $greyed' || fail "the dialog stayed"
within 10 grep -q "no take: capture was switched off (or record stopped) before the desktop answered" \
    "$tmp/err" || fail "$(cat "$tmp/err")"

check="a first take, after the dialog, following a drag from one colour to another"
capture 100 120
share_screen || fail "$stopped: open_cam $("$zs" get open_cam), $(cat "$tmp/err")"
within 30 eval '[ "$(events recording)" = 1 ]' || fail "no take: $(cat "$tmp/err")"
inner=$(even_inner)
same "$(field recording 1 width),$(field recording 1 height)" "$inner"
same "$(stat -c %a "$token" 2>&1)" 600
sleep 0.5
drag 680 110 890 110 1210 110
within 10 eval '[ "$(region)" = "630 120 600 338" ]' || fail "not dragged: $(region)"
sleep 0.5
capture 630 120
within 30 eval '[ "$(events saved)" = 1 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 1 file)
same "$(probe "$file" | cut -d, -f1-2)" "$inner"
# As long as the saved line says, however many of its ticks were missed.
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
awk -v l="$length" -v n="$(field saved 1 frames)" 'BEGIN { exit !((l - n / 30) ^ 2 <= 0.034 ^ 2) }' ||
    fail "a file of $length s for a take of $(field saved 1 frames) frames"
read -r w h <<<"${inner/,/ }"
shows "$file" first "$w" "$h" $left
shows "$file" last "$w" "$h" $right

check="a second take, in a new record, with no dialog: the permission was kept"
kill $recorder
wait $recorder
same "$?" 0
"$zs" record --dir "$videos" --json >"$tmp/out" 2>"$tmp/err" &
capture 630 120
# Nobody answers a dialog now: a take that starts had none.
within 30 eval '[ "$(events recording)" = 1 ]' || fail "no take: $(cat "$tmp/err")"
! seen $cancel || fail "a dialog"
sleep 1
capture 630 120
within 30 eval '[ "$(events saved)" = 1 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 1 file)
same "$(probe "$file" | cut -d, -f1-2)" "$inner"
shows "$file" first "$w" "$h" $right
shows "$file" last "$w" "$h" $right
exit $failed

#!/bin/bash
# Shows where Wine differs from Windows for the picker: builds tools/wine-probe.c,
# starts it in a fresh Wine prefix on a private Xvfb with openbox, activates
# another window, changes the screen's size with xrandr and back, and prints
# what the probe saw. Needs what tools/wine-tests.sh and tests/e2e need.
#
#     tools/wine-probe.sh
set -eu
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${ZORVI_PROBE_SESSION:-}" ]; then
    ZORVI_PROBE_SESSION=1 exec "$source_dir/tools/xsession.sh" "$0"
fi
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/wine WINEDEBUG=-all WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d'
trap 'kill $(jobs -p) 2>/dev/null; wineserver -k; wineserver -w; rm -rf "$tmp"' EXIT
x86_64-w64-mingw32-gcc-posix -std=c11 -static -o "$tmp/probe.exe" "$source_dir/tools/wine-probe.c" -lgdi32
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init 2>/dev/null
wine "$tmp/probe.exe" >"$tmp/log" &
for _ in $(seq 200); do xdotool search --name '^probe$' >/dev/null && break; sleep 0.05; done
xev -geometry 200x200+50+150 >/dev/null &
for _ in $(seq 200); do other=$(xdotool search --name '^Event Tester$') && break; sleep 0.05; done
xdotool windowactivate --sync "$other"
sleep 1
echo "X's active window after a second of the probe's raises: $(xdotool getactivewindow getwindowname)"
# Where the two overlap: black if the probe is on top again, white if the other window still is.
# In openbox's layer of windows above the others both are, the probe by Wine's doing.
wmctrl -i -r "$other" -b add,above
xdotool windowraise "$other"
sleep 1
echo "a second after the other window was raised, the pixel both cover is $(import -window root \
    -crop 1x1+120+200 -depth 8 rgb:- | od -An -tx1 | tr -d ' ')"
xrandr --newmode 1366x768 85.25 1366 1440 1576 1784 768 771 781 798 -hsync +vsync
xrandr --addmode screen 1366x768
xrandr -s 1366x768
sleep 2
xrandr -s 1920x1080
sleep 2
echo "what the probe saw:"
cat "$tmp/log"

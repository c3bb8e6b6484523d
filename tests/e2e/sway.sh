#!/bin/bash
# The real picker on headless sway, natively as a layer surface: driven by
# our virtual pointer, read back through zorvi-settings and grim. Two outputs,
# 1280x720 at (0, 0) and 1024x768 at (1280, 0); as root, run as another user
# (see ../common/swaysession.sh). Prints a line for each expectation that
# fails and exits 1 if any did.
#
#     tests/e2e/sway.sh ZORVI ZORVI_SETTINGS ZORVI_VPOINTER
outputs=("output HEADLESS-1 resolution 1280x720 position 0 0"
    "output HEADLESS-2 resolution 1024x768 position 1280 0")
source "$(dirname "$0")/../common/swaysession.sh"
layout=2304x768

screen() { grim -t ppm -g "$1 $2" -; }
source "$(dirname "$0")/../common/wayland.sh"
hand "$vpointer" $layout

"$zs" init --border 3 >/dev/null || fail "no key"
below $layout # wev, tiled over the first output
start

check=keys_stay
# The picker never takes the keyboard by itself: the arrows move nothing.
# (A fresh virtual keyboard may lose its first press. Here wev gets no keys
# either: the seat had no keyboard when it was focused.)
wtype -s 500 -k Right -s 300 -k Right
sleep 0.5
same "$(region)" "100 120 600 338"

check=drag
drag 680 108 917 259
within 10 is 337 271 $frame || fail "not dragged"
same "$(region)" "337 271 600 338"
framed

check=resize
resize

check=click
through

check=above
read -r x y w h < <(region --inner)
swaymsg '[app_id="wev"] fullscreen enable' >/dev/null
sleep 0.5
is $((x - 1)) $((y + 5)) $frame || fail "the frame is not above a fullscreen window"

check=second_output
drag 400 260 1343 260 # onto the second output's left edge
read -r x y w h < <(region)
((x >= 1280)) || fail "not on the second output: $x"
within 10 is $((x + 1)) $((y + 1)) $frame || fail "no frame on the second output at $x,$y"
framed
# That output's presets: the grip pulled to its right edge gives its last
# one, and the window its corner.
drag $((x + w - 2)) $((y + h)) 2303 $((y + h))
same "$(region)" "1280 20 1024 748"
within 10 is 1280 20 $frame || fail "not at the second output's corner"

check=keyboard
# A click gives the picker the arrows; a click on another window gives them
# to that window.
keys() { grep -c 'wl_keyboard] key: .*state: 1 (pressed)' "$tmp/wev"; }
read -r x y w h < <(region)
click $((x + w - 20)) $((y - 10))
wtype -s 500 -k Right -s 300 -k Right
within 5 eval '(($(region --format %x) > x))' || fail "the arrows did not reach the clicked picker"
read -r x y w h < <(region)
before=$(keys)
click 640 600 # wev, on the first output
wtype -s 500 -k Right -s 300 -k Right
within 5 eval '(($(keys) > before))' || fail "the arrows did not reach the window clicked after it"
same "$(region)" "$x $y $w $h"

check=xwayland
# Told to go through XWayland, where sway places windows after its own rules:
# it says so and exits 1 rather than publish a place the frame is not at.
kill $picker
swaymsg '[app_id="wev"] fullscreen disable' >/dev/null
swaymsg exec "echo \$DISPLAY >$tmp/display" >/dev/null
within 10 test -s "$tmp/display" || fail "no XWayland display"
DISPLAY=$(<"$tmp/display") QT_QPA_PLATFORM=xcb "$zorvi" 2>"$tmp/xwayland.log" &
forced=$!
gone() { [ "$(cut -d ' ' -f 3 "/proc/$forced/stat" 2>/dev/null || echo Z)" = Z ]; }
within 30 gone || { fail "still running through XWayland"; kill $forced; }
wait $forced
same "$? $(grep -c 'does not put an XWayland window where it asks' "$tmp/xwayland.log")" "1 1"

check=children
# What the picker's recorder starts with, as a stand-in beside a copy of the
# picker sees it: the user's own environment and signals, none of those the
# picker set for itself (the shell's & ignores SIGINT and SIGQUIT).
mkdir "$tmp/bin" && cp "$zorvi" "$tmp/bin/" && seen=$tmp/bin/zorvi-settings.seen
# Its own status read once it has become grep: a shell blocks every signal
# for a moment whenever it forks.
printf '#!/bin/sh\ntr "\\0" "\\n" </proc/$$/environ >"$0.env"\nexec grep "^Sig[BI]" /proc/self/status >"$0.seen"\n' \
    >"$tmp/bin/zorvi-settings" && chmod +x "$tmp/bin/zorvi-settings"
QT_SCALE_FACTOR=2 "$tmp/bin/zorvi" 2>"$tmp/zorvi.log" &
picker=$!
within 20 grep -qs '^SigIgn' "$seen" || fail "no recorder started: $(cat "$tmp/zorvi.log")"
same "$(cat "${seen%.seen}.env" "$seen" | grep -E '^(QT_(SCALE_FACTOR|QPA_PLATFORM|WAYLAND_SHELL_INTEGRATION)=|Sig)' | tr '\t\n' '  ')" \
    "QT_SCALE_FACTOR=2 SigBlk: 0000000000000000 SigIgn: 0000000000000000 "

exec 3>&-
kill $picker $sway $(jobs -p) 2>/dev/null
wait
exit $failed

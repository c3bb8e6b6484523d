#!/bin/bash
# The real picker on headless sway with scaled outputs: 2560x1440 at scale 2
# and 1920x1080 at scale 1.5 beside it, then both at 1.5, 1280x720 logical
# each. The store speaks the logical layout, screen_scale the output's
# own scale, and a drag onto the other scale ends the picker with 0. Prints a line for each
# expectation that fails and exits 1 if any did.
#
#     tests/e2e/swayscaled.sh ZORVI ZORVI_SETTINGS ZORVI_VPOINTER
outputs=("output HEADLESS-1 resolution 2560x1440 position 0 0 scale 2"
    "output HEADLESS-2 resolution 1920x1080 position 1280 0 scale 1.5")
source "$(dirname "$0")/../common/swaysession.sh"
layout=2560x720

# In logical pixels, as the store has them: grim shoots the outputs' own,
# sampled back (its -s 1 blends neighbours), from even logical coordinates,
# whole pixels at 1.5 too.
screen() {
    local x=${1%,*} y=${1#*,} w=${2%x*} h=${2#*x} ex ey ew eh
    ex=$((x / 2 * 2)) ey=$((y / 2 * 2))
    ew=$(((x - ex + w + 1) / 2 * 2)) eh=$(((y - ey + h + 1) / 2 * 2))
    grim -t ppm -g "$ex,$ey ${ew}x$eh" - |
        convert ppm:- -sample "${ew}x$eh!" -crop "${w}x$h+$((x - ex))+$((y - ey))" +repage ppm:-
}
source "$(dirname "$0")/../common/wayland.sh"
hand "$vpointer" $layout

"$zs" init --border 3 >/dev/null || fail "no key"
below $layout

check=scale_2
start
same "$("$zs" get screen_scale)" 200

check=onto_scale_1.5
drag 400 110 1700 110
ended() { [ "$(cut -d ' ' -f 3 "/proc/$picker/stat" 2>/dev/null || echo Z)" = Z ]; }
within 10 ended || { fail "still running on another scale"; kill $picker; }
wait $picker
same "$?" 0
read -r x y w h < <(region)
((x >= 1280)) || fail "not on the second output: $x"

check=scale_1.5
# Both outputs at 1.5 (grim shoots a layout at its greatest scale), for a
# first-time user again: the picker publishes the scale of the place the key
# holds.
swaymsg output HEADLESS-1 resolution 1920x1080 scale 1.5 >/dev/null
rm -r "$XDG_CONFIG_HOME/screen-capture-rvk"
"$zs" init --border 3 >/dev/null || fail "no key"
remember $layout
start
same "$("$zs" get screen_scale)" 150

exec 3>&-
kill $picker $sway $(jobs -p) 2>/dev/null
wait
exit $failed

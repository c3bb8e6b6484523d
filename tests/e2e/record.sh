#!/bin/bash
# zorvi-settings record under the real picker: the capture button clicked and
# the frame dragged by xdotool, the files read back by ffprobe and ffmpeg as a
# player would. Runs inside xsession.sh; prints a line for each expectation
# that fails and exits 1 if any did.
#
#     tests/e2e/xsession.sh tests/e2e/record.sh ZORVI ZORVI_SETTINGS
source "$(dirname "$0")/desktop.sh"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
white=ffffff videos=$tmp/videos

# near RRGGBB RRGGBB: the same colour give or take the encoder's rounding.
near() {
    local i d
    [[ $1$2 =~ ^[0-9a-f]{12}$ ]] || return 1
    for i in 0 2 4; do
        d=$((16#${1:i:2} - 16#${2:i:2}))
        ((d * d <= 24 * 24)) || return 1
    done
}
# The events record printed so far, and a field of the Nth of a kind.
events() { grep -c "\"event\":\"$1\"" "$tmp/out"; }
field() { grep "\"event\":\"$1\"" "$tmp/out" | sed -n "$2p" | sed -n "s/.*\"$3\":\"\\{0,1\\}\([^\",}]*\).*/\1/p"; }
probe() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=width,height,nb_read_frames \
        -of csv=p=0 "$1"
}
# still FILE first|last: one frame as an image; colours IMAGE GEOMETRY: those in it.
still() {
    if [ "$2" = first ]; then
        ffmpeg -v error -y -i "$1" -frames:v 1 -vcodec ppm -f image2 "$tmp/$2.ppm"
    else
        ffmpeg -v error -y -sseof -0.3 -i "$1" -update 1 -vcodec ppm -f image2 "$tmp/$2.ppm"
    fi
}
colours() { convert "$1" -crop "$2" +repage -depth 8 rgb:- | od -An -v -tx1 -w3 | tr -d ' ' | sort -u; }
edges_without_frame() { # IMAGE W H
    local c
    [ -s "$1" ] || return 1
    for c in $(colours "$1" "${2}x1+0+0") $(colours "$1" "${2}x1+0+$(($3 - 1))") \
        $(colours "$1" "1x$3+0+0") $(colours "$1" "1x$3+$(($2 - 1))+0"); do
        ! near "$c" $frame || return 1
    done
}
centre_is() { # IMAGE W H RRGGBB
    local c=$(colours "$1" "1x1+$(($2 / 2))+$(($3 / 2))")
    near "$c" "$4" || fail "centre $c, wanted about $4"
}
even_inner() { read -r w h < <(region --inner --format '%w %h') && echo "$((w & ~1)),$((h & ~1))"; }

xsetroot -solid "#$root"
start show_capture=1 capture_border=3
# The second colour: a white window to drag the frame onto.
xev -geometry 800x500+1000+450 >/dev/null &
within 10 is 1400 700 $white || fail "no white window"
# The picker publishes its place on the first drag.
drag 680 108 690 118
within 10 at 110 110 600 359 || fail "not placed: $(geometry)"
"$zs" record --dir "$videos" --json >"$tmp/out" 2>"$tmp/err" &
recorder=$!
button() { xdotool mousemove "$1" "$2" click 1; } # the capture button, 190 px right of the window's left

check="one take across two colours"
button 300 120
within 10 eval '[ "$(events recording)" = 1 ]' || fail "no take started: $(cat "$tmp/err")"
inner=$(even_inner)
same "$(field recording 1 width),$(field recording 1 height)" "$inner"
sleep 0.5
drag 690 118 1190 318 1690 578
within 10 at 1110 570 600 359 || fail "not dragged: $(geometry)"
sleep 0.5
button 1300 580
within 30 eval '[ "$(events saved)" = 1 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 1 file) frames=$(field saved 1 frames) dropped=$(field saved 1 dropped)
same "$(ls "$videos")" "${file##*/}"
same "$(probe "$file")" "$inner,$frames"
# At least the second it was given, every tick a frame or a drop.
((frames + dropped >= 30)) || fail "$frames frames and $dropped dropped in a take of over 1 s"
read -r w h <<<"${inner/,/ }"
still "$file" first
still "$file" last
centre_is "$tmp/first.ppm" "$w" "$h" $root
centre_is "$tmp/last.ppm" "$w" "$h" $white
edges_without_frame "$tmp/first.ppm" "$w" "$h" || fail "frame on an edge of the first frame"
edges_without_frame "$tmp/last.ppm" "$w" "$h" || fail "frame on an edge of the last frame"

check="a corner resize starts a file of the new size"
button 1300 580
within 10 eval '[ "$(events recording)" = 2 ]' || fail "no take started"
drag 1709 928 1609 872
within 10 at 1110 570 500 302 || fail "not resized: $(geometry)"
inner=$(even_inner)
within 10 eval '[ "$(field recording \$ width),$(field recording \$ height)" = "$inner" ]' ||
    fail "no take of the new size $inner"
sleep 0.5
button 1300 580
within 30 eval '[ "$(events saved)" = "$(events recording)" ]' || fail "not saved"
same "$(probe "$(field saved 2 file)" | cut -d, -f1-2)" "$(field recording 1 width),$(field recording 1 height)"
same "$(probe "$(field saved \$ file)" | cut -d, -f1-2)" "$inner"

check="stopped or killed mid-take, the file plays"
for signal in TERM KILL; do
    [ $signal = KILL ] && { "$zs" record --dir "$videos" --json >"$tmp/out" 2>"$tmp/err" & recorder=$!; }
    button 1300 580
    within 10 eval '[ "$(events recording)" -ge 1 ] && [ -n "$(field recording \$ file)" ]' ||
        fail "no take started"
    file=$(field recording \$ file)
    sleep 1
    kill -$signal $recorder
    wait $recorder 2>/dev/null
    same "$? $signal" "$([ $signal = TERM ] && echo 0 || echo 137) $signal"
    # Once ffmpeg has finished the file, on its own after a KILL.
    plays() { [[ $(probe "$file" 2>/dev/null) =~ ^$inner,[1-9] ]]; }
    within 30 plays || fail "$file does not play after SIG$signal: $(probe "$file" 2>&1)"
    button 1300 580
done
exit $failed

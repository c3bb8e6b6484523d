#!/bin/bash
# zorvi-settings record under the real picker: the capture button clicked and
# the frame dragged by xdotool, the files read back by ffprobe and ffmpeg as a
# player would. Runs inside xsession.sh; prints a line for each expectation
# that fails and exits 1 if any did.
#
#     tools/xsession.sh tests/e2e/record.sh ZORVI ZORVI_SETTINGS
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
probe() { ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames -of csv=p=0 "$1"; }
colours() { convert "$1" -crop "$2" +repage -depth 8 rgb:- | od -An -v -tx1 -w3 | tr -d ' ' | sort -u; }
# shows FILE first|last W H RRGGBB: that frame has the colour in its centre, and
# nothing of the picker's frame on its edges.
shows() {
    local seek=() c image=$tmp/$2.ppm
    [ "$2" = last ] && seek=(-sseof -0.3)
    ffmpeg -v error -y "${seek[@]}" -i "$1" -frames:v 1 -vcodec ppm -f image2 "$image" || fail "no $2 frame"
    c=$(colours "$image" "1x1+$(($3 / 2))+$(($4 / 2))")
    near "$c" "$5" || fail "$2 frame: $c in the centre, wanted about $5"
    for c in $(colours "$image" "${3}x1+0+0") $(colours "$image" "${3}x1+0+$(($4 - 1))") \
        $(colours "$image" "1x$4+0+0") $(colours "$image" "1x$4+$(($3 - 1))+0"); do
        ! near "$c" $frame || { fail "$2 frame: the frame's $c on an edge"; break; }
    done
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
shows "$file" first "$w" "$h" $root
shows "$file" last "$w" "$h" $white

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

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

source "$(dirname "$0")/takes.sh"

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

#!/bin/bash
# The capture button as a new user meets it: a key made by zorvi-settings init
# and nothing else, the picker alone (it starts the recorder beside itself),
# a click on the capture button without any drag first; what keeps a take or
# a recorder from starting reaches the notifications. A sound server plays
# a tone and a notification server listens, both the test's own. The files
# are read back by ffprobe and ffmpeg as a player would. Runs inside
# xsession.sh and dbus-run-session; prints a line for each expectation that
# fails and exits 1 if any did.
#
#     tools/xsession.sh dbus-run-session -- tests/e2e/record.sh ZORVI ZORVI_SETTINGS
source "$(dirname "$0")/../common/recorder.sh"

check="a sound server and a notification server"
sound_server
dunst >/dev/null 2>&1 &
dbus-monitor "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    >"$tmp/bus" 2>&1 &
within 10 eval 'dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q true' ||
    fail "no notification server"
# The second colour: a white window to drag the frame onto.
xev -geometry 800x500+1000+450 >/dev/null &
within 10 is 1400 700 $white || fail "no white window"

# The folder opener of the notification's action: it tells what it inherited.
mkdir -p "$tmp/bin"
printf '#!/bin/sh\nexec grep -E "^Sig(Blk|Ign)" /proc/self/status >"%s"\n' "$tmp/opened" >"$tmp/bin/xdg-open"
chmod +x "$tmp/bin/xdg-open"
export PATH=$tmp/bin:$PATH
unblocked='SigBlk:	0000000000000000
SigIgn:	0000000000000000'

check="the first click records where the frame is"
start_picker
click_capture 290 110
within 20 eval '[ "$(events recording)" = 1 ]' || fail "no take started: $(cat "$tmp/err")"
switched() { [ "$(stored open_cam)" = "$1" ] && stat -c %.9Y "$key/open_cam"; }
on=$(switched 1)
inner=$(even_inner)
same "$(field recording 1 size)" "${inner/,/x}"
same "$(field recording 1 place)" "$(region --inner --format %x,%y)"
# The pointer over the region, then back to the button. The test's null
# output hands a new stream the first of its sound up to 1.6 s late: the
# take lasts long enough to end in the tone.
xdotool mousemove 400 300
sleep 2.5
click_capture 290 110
within 30 eval '[ "$(events saved)" = 1 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 1 file)
off=$(switched 0)
read -r w h <<<"${inner/,/ }"
shows "$file" last "$w" "$h" $root
pointer_at "$file" -0.8 $((400 - 102)) $((300 - 122)) || fail "no pointer where it stood"
# The tone, over the whole picture: the sound is as long as it.
same "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | tr '\n' ' ')" "h264 opus "
lasts "$file" v && picture=$length || fail "no picture"
# As long as capture was on, from click to click, within a frame or two.
awk -v p="$picture" -v c="$(awk -v a="${on:-0}" -v b="${off:-0}" 'BEGIN { print b - a }')" \
    'BEGIN { exit !((p - c) ^ 2 <= 0.067 ^ 2) }' || fail "a picture of $picture s for $on to $off"
lasts "$file" a && sound=$length || fail "no sound"
awk -v p="$picture" -v s="$sound" 'BEGIN { exit !(s - p < 0.1 && p - s < 0.1) }' ||
    fail "sound of $sound s against a picture of $picture s"
level=$(ffmpeg -v info -i "$file" -map 0:a -af "atrim=start=$(awk -v p="$picture" 'BEGIN { print p - 0.5 }'),volumedetect" \
    -f null - 2>&1 | sed -n 's/.*mean_volume: \(-*[0-9.]*\) dB/\1/p')
awk -v l="${level:--99}" 'BEGIN { exit !(l > -30) }' || fail "the tone at ${level:-no} dB at the end"
# One notification, naming the file.
within 10 grep -q "${file##*/}" "$tmp/bus" || fail "no notification with the file's name"
same "$(grep -c 'member=Notify' "$tmp/bus")" 1
# Its action, as the server tells a click on it (under the number the server
# gave it, one of its first few): the folder opens.
for id in 1 2 3; do
    dbus-send --session --type=signal /org/freedesktop/Notifications \
        org.freedesktop.Notifications.ActionInvoked uint32:$id string:open
done
within 10 test -s "$tmp/opened" || fail "no folder opened"
same "$(cat "$tmp/opened")" "$unblocked"

check="one take across two colours, following the frame"
click_capture 290 110
within 20 eval '[ "$(events recording)" = 2 ]' || fail "no take started: $(cat "$tmp/err")"
sleep 0.5
drag 680 108 690 118 1190 318 1690 578
within 10 at 1110 570 600 359 || fail "not dragged: $(geometry)"
sleep 0.5
click_capture 1300 580
within 30 eval '[ "$(events saved)" = 2 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 2 file)
same "$(probe "$file" | cut -d, -f1-2)" "$inner"
shows "$file" first "$w" "$h" $root
shows "$file" last "$w" "$h" $white

check="a corner resize: one new file, once the corner is let go"
click_capture 1300 580
within 20 eval '[ "$(events recording)" = 3 ]' || fail "no take started"
# Slowly, as a hand does: a step every 50 ms, each a new size.
drag_slowly 1709 928 1609 872
within 10 at 1110 570 500 302 || fail "not resized: $(geometry)"
# A picture that changes 20 times a second under the frame that stays.
convert -size 200x100 xc:red "$tmp/red.ppm" && convert -size 200x100 xc:blue "$tmp/blue.ppm"
animate -geometry +1250+650 -delay 5 "$tmp/red.ppm" "$tmp/blue.ppm" &
animation=$!
inner=$(even_inner)
within 20 eval '[ "$(field recording \$ size)" = "${inner/,/x}" ]' || fail "no take of the new size $inner"
sleep 1
click_capture 1300 580
within 30 eval '[ "$(events saved)" = 4 ]' || fail "not saved: $(cat "$tmp/out")"
kill $animation
same "$(events recording)" 4
file=$(field saved 4 file)
same "$(probe "$file" | cut -d, -f1-2)" "$inner"
# Each change is a picture of its own: at least 10 a second.
lasts "$file" v && awk -v n="$(probe "$file" | cut -d, -f3)" -v l="$length" 'BEGIN { exit !(n >= 10 * l) }' ||
    fail "$(probe "$file" | cut -d, -f3) pictures in $length s of a changing screen"

# notified SUMMARY BODY-PATTERN: a critical notification of ours says so.
notified() {
    grep -A7 'member=Notify' "$tmp/bus" | grep -A6 "string \"$1\"" | grep -q "$2" &&
        grep -A20 "string \"$1\"" "$tmp/bus" | grep -A1 'string "urgency"' | grep -q 'byte 2'
}
check="a take that cannot start, and a recorder that cannot: each a critical notification"
rm -rf "$videos"
echo >"$videos" # the folder gone, a file at its name
click_capture 1300 580
within 10 grep -q "no take: $videos/zorvi-.*: Not a directory" "$tmp/err" || fail "no message: $(cat "$tmp/err")"
within 10 notified "No take" "Not a directory" || fail "no notification: $(cat "$tmp/bus")"
click_capture 1300 580
timeout 20 "${zs[@]}" record --wait 1 2>"$tmp/second"
same "$? $(grep -c 'waiting up to 1 s' "$tmp/second")" "1 1"
within 10 notified "Recording is off" "another zorvi-settings record runs" || fail "no notification: $(grep -A7 member=Notify "$tmp/bus" | tail -16)"

check="what keeps the picker or its recorder from starting, told on the desktop"
# Urgent: below the body its actions, then the hints, urgency 2 first.
told() { grep -A6 "string \"$1" "$tmp/bus" | grep -q 'byte 2'; }
kill "$picker"
wait "$picker"
mkdir "$tmp/lone"
PATH=$tmp/lone "${zorvi[@]}" 2>"$tmp/err" &
picker=$!
within 10 told "No zorvi-settings" || fail "no notification naming zorvi-settings: $(cat "$tmp/err")"
kill "$picker"
wait "$picker"
# A recorder that ends with 1 has told the user itself; a failure otherwise
# is told here. (The half second lets a notification leave before the kill.)
for status in 1 3; do
    printf '#!/bin/sh\nexit %s\n' $status >"$tmp/lone/zorvi-settings" && chmod +x "$tmp/lone/zorvi-settings"
    PATH=$tmp/lone "${zorvi[@]}" 2>"$tmp/err" &
    picker=$!
    within 10 grep -q "(exit status $status)" "$tmp/err" || fail "no end of the recorder seen: $(cat "$tmp/err")"
    sleep 0.5
    kill "$picker"
    wait "$picker"
done
within 10 told "The recorder ended with exit status 3" || fail "no notification of the recorder's end"
same "$(grep -c 'string "The recorder ended' "$tmp/bus")" 1
exit $failed

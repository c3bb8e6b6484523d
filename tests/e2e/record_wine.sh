#!/bin/bash
# The capture button under Wine as a new user meets it. First a picker with
# no recorder beside it, which says so in the notification area. Then a key
# made by zorvi-settings init and nothing else, the picker alone (it starts its
# recorder beside itself, with no console), a click on the capture button,
# a drag of 200 x 100, a second click: one take in the Videos folder, read
# back by ffprobe and ffmpeg as a player would. Then a second recorder is
# refused, and a picker killed or closed during a take lets its recorder save
# the whole take, then end.
# Last, a take with the microphone's sound (Wine's WASAPI reads PulseAudio;
# it offers no loopback of the output). Runs inside xsession.sh; prints a line for each
# expectation that fails and exits 1 if any did.
#
#     tools/xsession.sh tests/e2e/record_wine.sh ZORVI.EXE ZORVI_SETTINGS.EXE
source "$(dirname "$0")/../common/recorder.sh"

# The Videos folder of the prefix, which Wine may link to the home.
takes() { find -L "$WINEPREFIX/drive_c/users" -name 'zorvi-*.mkv' -exec realpath {} + | sort -u; }
recorders() { pgrep -fc 'zorvi-settings.exe.* record'; }
size_of() { stat -c %s "$1" 2>/dev/null; }
# A take is finished when its file has stopped growing and plays.
finished() {
    local before
    before=$(size_of "$1") && sleep 1 && [ "$(size_of "$1")" = "$before" ] && lasts "$1" v
}
now() { date +%s.%N; }
# lasts_while_on FILE ON OFF: its picture plays, $length seconds, as long as capture was
# on from ON to OFF, give or take a Wine program's start.
lasts_while_on() {
    lasts "$1" v || { fail "the take does not play"; return 1; }
    awk -v p="$length" -v c="$(awk -v a="$2" -v b="$3" 'BEGIN { print b - a }')" \
        'BEGIN { exit !((p - c) ^ 2 <= 0.3 ^ 2) }' || fail "a picture of $length s for $2 to $3"
}
# capture X Y 0|1: a hand's click on the capture button, the pointer come to rest on it
# first (Wine may not yet know it is there when the press comes at once), and the flag
# the picker then stores; $clicked is the click's instant.
capture() {
    local want=$3
    xdotool mousemove "$1" "$2" sleep 0.3
    clicked=$(now)
    xdotool click 1
    within 10 eval '[ "$(stored open_cam)" = "$want" ]' ||
        fail "a click on the capture button left open_cam $(stored open_cam)"
}

# A sound server as the desktop runs one, playing a tone: what Wine's WASAPI reads.
sound_server
pactl set-default-source zorvitest.monitor

# With no notification area on the X desktop, Wine shows the icons in a
# window of its own.
tray() { xwininfo -name 'Wine System Tray' >/dev/null 2>&1; }

check="a picker with no recorder beside it says so in the notification area"
cp -r "$(dirname "${zorvi[1]}")" "$tmp/alone"
rm "$tmp/alone/zorvi-settings.exe"
"${zs[@]}" init >/dev/null
wine "$tmp/alone/zorvi.exe" 2>"$tmp/alone.err" &
picker=$!
within 30 up || fail "no window"
within 20 tray || fail "no notification icon"
grep -q "no zorvi-settings.exe beside the picker" "$tmp/alone.err" || fail "no word on standard error"
wmctrl -ic "$window"
within 20 ended || fail "the picker did not close"
within 10 eval '! tray' || fail "its icon outlived it"

check="the picker started alone starts its recorder"
first_start
within 30 eval '[ "$(recorders)" = 1 ]' || fail "no recorder started"

check="a click, a drag of 200 x 100, a second click: one take"
# Wine's substitute for the title's font leaves the capture button 180 px
# right of the window's left.
# A white square where the frame's centre will be, and not where it is.
xev -geometry 120x100+560+350 >/dev/null &
within 10 is 600 400 $white || fail "no white window"
inner=$(even_inner)
read -r w h <<<"${inner/,/ }"
read -r x y < <(region --inner --format '%x %y')
moved="$((x + 200)) $((y + 100))"
capture 280 110 1
on=$clicked
# The pointer over the region, then the drag by the title bar.
xdotool mousemove 400 300
sleep 1.5
drag_slowly 200 110 400 210
within 10 eval '[ "$(region --inner --format "%x %y")" = "$moved" ]' ||
    fail "not moved: $(region --inner --format '%x %y'), wanted $moved"
sleep 1
capture 480 210 0
off=$clicked
within 30 eval '[ "$(takes | wc -l)" = 1 ]' || fail "no take in the Videos folder"
file=$(takes | head -1)
within 30 finished "$file" || fail "the take never ended"
same "$(probe "$file" | cut -d, -f1,2)" "$w,$h"
same "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | tr -d '\r' | tr '\n' ' ')" "h264 "
lasts_while_on "$file" "$on" "$off"
picture=${length:-0}
shows "$file" first "$w" "$h" $root
shows "$file" last "$w" "$h" $white
pointer_at "$file" "-$(awk -v p="$picture" 'BEGIN { print p - 1.2 }')" $((400 - x)) $((300 - y)) ||
    fail "no pointer where it stood"

check="a second recorder is refused"
"${zs[@]}" record >"$tmp/second" 2>&1 && fail "a second recorder ran"
grep -q "another zorvi-settings record runs" "$tmp/second" || fail "refused without saying why: $(cat "$tmp/second")"

check="the picker killed during a take: its recorder saves the whole take and ends"
capture 480 210 1
on=$clicked
within 30 eval '[ "$(takes | wc -l)" = 2 ]' || fail "no second take"
sleep 4
off=$(now)
{ kill -KILL "$picker"; wait "$picker"; } 2>/dev/null
within 20 eval '[ "$(recorders)" = 0 ]' || fail "the recorder outlived the picker"
lasts_while_on "$(takes | tail -1)" "$on" "$off"

check="the picker closed during a take: its recorder saves the whole take first"
first_start
within 30 eval '[ "$(recorders)" = 1 ]' || fail "no recorder started"
capture 280 110 1
on=$clicked
within 30 eval '[ "$(takes | wc -l)" = 3 ]' || fail "no third take"
sleep 2
off=$(now)
wmctrl -ic "$window"
within 20 ended || fail "the picker did not close"
within 20 eval '[ "$(recorders)" = 0 ]' || fail "the recorder outlived the picker"
lasts_while_on "$(takes | tail -1)" "$on" "$off"

check="the microphone's sound through WASAPI, as long as the picture"
"${zs[@]}" record --audio mic >"$tmp/out" 2>"$tmp/err" &
recorder=$!
"${zs[@]}" set open_cam 1
within 30 eval '[ "$(takes | wc -l)" = 4 ]' || fail "no fourth take: $(cat "$tmp/err")"
sleep 3
"${zs[@]}" set open_cam 0
file=$(takes | tail -1)
within 30 finished "$file" || fail "the take never ended"
{ kill "$recorder"; wait "$recorder"; } 2>/dev/null
same "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | tr '\n' ' ')" "h264 opus "
lasts "$file" v && picture=$length || fail "no picture"
lasts "$file" a && sound=$length || fail "no sound"
awk -v p="$picture" -v s="${sound:-0}" 'BEGIN { exit !(s - p < 0.1 && p - s < 0.1) }' ||
    fail "sound of ${sound:-0} s against a picture of $picture s"
level=$(ffmpeg -v info -i "$file" -map 0:a -af "atrim=start=$(awk -v p="$picture" 'BEGIN { print p - 1 }'),volumedetect" \
    -f null - 2>&1 | sed -n 's/.*mean_volume: \(-*[0-9.]*\) dB/\1/p')
awk -v l="${level:--99}" 'BEGIN { exit !(l > -30) }' || fail "the tone at ${level:-no} dB at the end"

exit $failed

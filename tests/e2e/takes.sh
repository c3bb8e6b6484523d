#!/bin/bash
# Nothing of a take is lost: a file of the same second is never reused, a
# full disk ends the take with a message and never as saved, a frame partly
# off the screen records black there, a picker killed mid-take leaves a
# take that plays, a picker restarted then gets its recorder, and a frame
# larger than the screen is refused. Each as a user meets it: the picker alone on a fresh key,
# its recorder beside it. The videos folder is a small tmpfs in a mount
# namespace of the test's own (as root; elsewhere through a user namespace).
# Runs inside xsession.sh; prints a line for each expectation that fails and
# exits 1 if any did.
#
#     tools/xsession.sh tests/e2e/takes.sh ZORVI ZORVI_SETTINGS
if [ -z "${ZORVI_TAKES_MOUNTS:-}" ]; then
    export ZORVI_TAKES_MOUNTS=1
    [ "$(id -u)" = 0 ] || exec unshare -rm --propagation private "$0" "$@"
    exec unshare -m --propagation private "$0" "$@"
fi
source "$(dirname "$0")/../common/recorder.sh"
mkdir -p "$videos"
trap 'umount "$videos" 2>/dev/null; kill $(jobs -p) 2>/dev/null; wait; rm -rf "$tmp"' EXIT
# stop_picker SIGNAL: the picker ended so, its recorder with it.
stop_picker() {
    kill -"$1" "$picker"
    wait "$picker" 2>/dev/null
    within 20 eval '[ ! -e /proc/$recorder ] || [ "$(cut -d " " -f 3 /proc/$recorder/stat)" = Z ]' ||
        fail "the recorder outlived the picker's SIG$1"
}
plays() { [[ $(probe "$1" 2>/dev/null) =~ ^[0-9]+,[0-9]+,[1-9] ]]; }

check="a second recorder, and the first asleep while capture is off"
start_picker
switches() { cat /proc/$recorder/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
before=$(switches)
sleep 3
woke=$(($(switches) - before))
((woke <= 3)) || fail "woke $woke times in 3 s with capture off"
timeout 10 "${zs[@]}" record >/dev/null 2>"$tmp/second"
same "$? $(grep -c 'another zorvi-settings record runs' "$tmp/second")" "1 1"

check="a file of the same second is never reused"
# Files of this second and the next few, as a take a moment ago left them.
for s in $(seq 0 9); do
    echo kept >"$videos/$(date -d "@$(($(date +%s) + s))" +zorvi-%Y-%m-%d_%H-%M-%S.mkv)"
done
click_capture 290 110
within 20 eval '[ "$(events recording)" = 1 ]' || fail "no take started: $(cat "$tmp/err")"
sleep 1
click_capture 290 110
within 30 eval '[ "$(events saved)" = 1 ]' || fail "not saved: $(cat "$tmp/err")"
file=$(field saved 1 file)
plays "$file" || fail "$file does not play"
same "$(grep -lx kept "$videos"/* | wc -l)" 10

check="a frame partly off the screen: black there"
drag 680 108 430 108
within 10 at -150 100 600 359 || fail "not dragged off: $(geometry)"
click_capture 40 110
within 20 eval '[ "$(events recording)" = 2 ]' || fail "no take started: $(cat "$tmp/err")"
same "$(field recording 2 place)" "-148,122"
sleep 1
click_capture 40 110
within 30 eval '[ "$(events saved)" = 2 ]' || fail "not saved: $(cat "$tmp/err")"
frame "$(field saved 2 file)" -0.3 off
c=$(colours "$tmp/off.ppm" 1x1+50+150)
near "$c" 000000 || fail "$c off the screen, not black"
c=$(colours "$tmp/off.ppm" 1x1+300+150)
near "$c" $root || fail "$c on the screen, not the desktop"

check="killed with the picker mid-take, the take plays"
stop_picker TERM
takes=2
for signal in TERM KILL; do
    "${zs[@]}" set open_cam 0 # the kill before left it on
    start_picker
    click_capture 290 110
    takes=$((takes + 1))
    within 20 eval '[ "$(events recording)" = $takes ]' ||
        fail "no take started: $(cat "$tmp/err")"
    file=$(field recording \$ file)
    sleep 1
    stop_picker $signal
    within 30 plays "$file" || fail "$file does not play after the picker's SIG$signal"
done

check="a full disk ends the take, never as saved"
# Noise under the frame: each key frame, one every two seconds, is large.
mount -t tmpfs -o size=256k zorvitest "$videos" || fail "no tmpfs"
convert -size 1920x1080 xc: +noise Random "$tmp/noise.png" && display -window root "$tmp/noise.png"
"${zs[@]}" set open_cam 0
start_picker
click_capture 290 110
within 20 eval '[ "$(events recording)" = 5 ]' || fail "no take started: $(cat "$tmp/err")"
file=$(field recording \$ file)
within 30 grep -q "the take $file ended: " "$tmp/err" || fail "no message: $(cat "$tmp/err")"
click_capture 290 110
sleep 1
same "$(events saved)" 4
plays "$file" || fail "what was written does not play: $(probe "$file" 2>&1)"
stop_picker TERM
umount "$videos"

check="a picker restarted mid-take gets its recorder once the one before has finished"
"${zs[@]}" set open_cam 0
start_picker
click_capture 290 110
within 20 eval '[ "$(events recording)" = 6 ]' || fail "no take started: $(cat "$tmp/err")"
file=$(field recording \$ file)
sleep 1
# Held up, as a slow finish holds it, until the new picker has started.
before=$recorder
kill -STOP "$before"
kill -TERM "$picker"
wait "$picker" 2>/dev/null
launch_picker
within 10 grep -q "waiting up to 10 s for the other record" "$tmp/err" || fail "no wait: $(cat "$tmp/err")"
kill -CONT "$before"
within 20 locked "${recorder:-0}" || fail "the new recorder took no lock: $(cat "$tmp/err")"
within 30 plays "$file" || fail "the take before does not play"
same "$(events saved)" 5
stop_picker TERM

check="a frame larger than the screen: refused with its size, and no gigabytes of buffers"
"${zs[@]}" set open_cam 0
"${zs[@]}" record --json >"$tmp/json" 2>>"$tmp/err" &
lone=$!
within 20 locked $lone || fail "no lock: $(cat "$tmp/err")"
"${zs[@]}" set capture_width 30000
"${zs[@]}" set capture_height 16875
"${zs[@]}" set open_cam 1
within 10 grep -q '^{"event":"failed","file":null,"reason":"the frame.s inside, 29996x16870, is larger than the X screen, 1920x1080' \
    "$tmp/json" || fail "not refused: $(cat "$tmp/json")"
peak=$(awk '/^VmHWM:/ { print $2 }' /proc/$lone/status)
((${peak:-0} < 200000)) || fail "a peak of ${peak:-no} kB"
kill -TERM $lone
wait $lone
exit $failed

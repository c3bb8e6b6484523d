#!/bin/bash
# A long take of a screen that flashes and a sound that beeps at the start
# of every second: how far the sound lies from the picture at the
# first flash and at the last (positive: the beep after the flash), and
# record's resident memory after one minute and at the end. Runs inside
# tools/xsession.sh, with a sound server of its own (a null output whose
# monitor record takes).
#
#     tools/xsession.sh --limit 900 bench/bench_sync.sh ZORVI_SETTINGS SECONDS
source "$(dirname "$0")/../tests/common/check.sh"
zs=$1 seconds=$2
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit -L module-native-protocol-unix \
    -L "module-null-sink sink_name=sync" >"$tmp/pulse.log" 2>&1 &
within 10 test -S "$XDG_RUNTIME_DIR/pulse/native" || { echo "bench_sync: no sound server" >&2; exit 1; }
pactl set-default-sink sync
"$zs" init >/dev/null || exit 1
# The frame's inside: 320 x 180 at (110, 110).
for value in start_x=108 start_y=90 capture_width=324 capture_height=204 capture_border=2; do
    "$zs" set "${value%=*}" "${value#*=}" || exit 1
done
# The beeps, paced by the system clock and switched on to the sample (not to
# the 21 ms frame a volume filter works in), and the flashes, the desktop's
# background turned white on the same clock: the start of each second from
# t0, for 0.2 s.
t0=$(($(date +%s) + 2))
python3 - "$t0" $((seconds + 5)) <<'END' &
import subprocess, sys, time
t0, count = int(sys.argv[1]), int(sys.argv[2])
def at(t):
    time.sleep(max(0, t - time.time()))
for k in range(count):
    at(t0 + k)
    subprocess.run(["xsetroot", "-solid", "white"])
    at(t0 + k + 0.2)
    subprocess.run(["xsetroot", "-solid", "black"])
END
(python3 -c "import time; time.sleep(max(0, $t0 - time.time()))" &&
    exec ffmpeg -nostdin -v quiet -re -f lavfi -i "aevalsrc='0.5*sin(2*PI*1000*t)*lt(mod(t,1),0.2)':s=48000" \
        -f pulse default) &
sleep 3
"$zs" record --json --dir "$tmp" >"$tmp/out" 2>"$tmp/err" &
recorder=$!
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$recorder/status"; }
"$zs" set open_cam 1
within 10 grep -q recording "$tmp/out" || { echo "bench_sync: no take: $(cat "$tmp/err")" >&2; exit 1; }
first=$seconds
[ "$seconds" -gt 60 ] && first=60
sleep "$first"
early=$(rss)
sleep $((seconds - first))
late=$(rss)
"$zs" set open_cam 0
within 60 grep -q saved "$tmp/out" || { echo "bench_sync: not saved: $(cat "$tmp/err")" >&2; exit 1; }
kill $recorder
wait $recorder
file=$(sed -n 's/.*"saved","file":"\([^"]*\)".*/\1/p' "$tmp/out")
# The flashes' starts, where black ends, and the beeps', where silence does.
ffmpeg -nostdin -v info -i "$file" -vf blackdetect=d=0.3:pix_th=0.3 -af silencedetect=n=-30dB:d=0.3 \
    -f null - 2>&1 | sed -n 's/.*black_end:\([0-9.]*\).*/f \1/p; s/.*silence_end: \([0-9.]*\).*/b \1/p' \
    >"$tmp/onsets"
[ -n "${BENCH_SYNC_KEEP:-}" ] && cp "$tmp/onsets" "$file" "$BENCH_SYNC_KEEP"
# Each flash against the beep nearest to it.
awk -v early="$early" -v late="$late" '
    $1 == "f" { flash[++flashes] = $2 } $1 == "b" { beep[++beeps] = $2 }
    END {
        for (i = 1; i <= flashes; i++) {
            best = 1
            for (j = 1; j <= beeps; j++) {
                d = beep[j] - flash[i]
                if (d * d < best * best) best = d
            }
            if (best == 1) continue # its beep was cut off, at the start or the end
            if (!pairs++) start = best
            end = best
            worst = (best * best > worst * worst) ? best : worst
        }
        printf "sync pairs=%d flashes=%d start_offset_s=%.3f end_offset_s=%.3f worst_offset_s=%.3f", pairs, flashes, start, end, worst
        printf " rss_early_kib=%d rss_late_kib=%d\n", early, late
    }' "$tmp/onsets"

#!/bin/bash
# record against ffmpeg's own X11 grab, on the same fixed 1280 x 720 region at
# 30 frames a second with the same encoder: frames delivered a second, and
# CPU as % of one core (/proc/PID/stat ticks: record grabs and encodes in one
# process, its encoder's threads included), the X server counted apart. A
# fourth run moves the region 30 times a second. Before them, record's wakeups while capture is off, and a take under a CPU hog on
# both cores. Prints one line per run. Runs inside tools/xsession.sh; or,
# given GNOMEHAND, inside tools/gnome-session.sh: the same two takes of
# record, from the desktop's screen-cast portal (its dialog answered by the
# hand), the compositor counted instead of the X server, and no x11grab.
#
#     tools/xsession.sh bench/bench_record.sh ZORVI_SETTINGS SECONDS
#     tools/gnome-session.sh --size 1920x1080 bench/bench_record.sh ZORVI_SETTINGS SECONDS GNOMEHAND
# A scratch folder that goes with the run, and a bounded wait (within).
source "$(dirname "$0")/../tests/common/check.sh"
zs=$1 seconds=$2 gnomehand=${3:-}
home=$tmp
export XDG_CONFIG_HOME=$home/config
# On X11 no sound server and no bus: the picture alone, as x11grab's. A GNOME
# session keeps its own runtime folder, where its display and bus live.
if [ -z "$gnomehand" ]; then
    export HOME=$home XDG_RUNTIME_DIR=$home/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS
fi
"$zs" init >/dev/null || exit 1
# A 2-pixel frame around 1280 x 720 at (102, 102).
for value in start_x=100 start_y=100 capture_width=1284 capture_height=724 capture_border=2; do
    "$zs" set "${value%=*}" "${value#*=}" || exit 1
done
if [ -n "$gnomehand" ]; then
    # mutter's own background is a gradient: a moving region sees new pictures.
    xserver=$GNOME_SESSION_MUTTER
    source "$(dirname "$0")/../tools/gnome-hand.sh"
    start_hand "$gnomehand" || { echo "bench_record: no hand" >&2; exit 1; }
else
    xserver=$(pgrep -P "$PPID" -x Xvfb) || { echo "bench_record: no Xvfb of this session" >&2; exit 1; }
    # A screen with something on it, so that a moving region sees new pictures.
    convert -size 1920x1080 -define gradient:angle=45 gradient:navy-gold "$home/screen.png" || exit 1
    display -window root "$home/screen.png" # sets it, and says 1 all the same
fi

hz=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now() { date +%s.%N; }
pct() { awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.1f", 100 * t / hz / s }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s }'; }
frames_of() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"
}

record_run() { # LABEL MOVE
    "$zs" record --json --dir "$home/videos" >"$home/out" &
    local recorder=$! x=100 t0 t1 r0 r1 s0 s1 frames dropped length
    "$zs" set open_cam 1
    # The first take asks; the next ones have the answer kept.
    [ -n "$gnomehand" ] && [ ! -e "$XDG_STATE_HOME/zorvi/screencast-token" ] &&
        { share_screen || { echo "bench_record: $stopped" >&2; exit 1; }; }
    for _ in $(seq 200); do grep -q recording "$home/out" && break; sleep 0.05; done
    grep -q recording "$home/out" || { echo "bench_record: no take" >&2; exit 1; }
    sleep 0.5 # the encoder's start-up is no part of the steady rate
    t0=$(now) r0=$(ticks $recorder) s0=$(ticks "$xserver")
    if [ "$2" = 1 ]; then
        for ((end = SECONDS + seconds; SECONDS < end; )); do
            x=$((x == 100 ? 400 : x - 1))
            "$zs" set start_x $x
            sleep 0.033
        done
    else
        sleep "$seconds"
    fi
    t1=$(now) r1=$(ticks $recorder) s1=$(ticks "$xserver")
    "$zs" set open_cam 0
    for _ in $(seq 400); do grep -q saved "$home/out" && break; sleep 0.05; done
    kill $recorder
    wait $recorder
    dropped=$(sed -n 's/.*"saved".*"dropped":\([0-9]*\).*/\1/p' "$home/out")
    frames=$(sed -n 's/.*"saved".*"frames":\([0-9]*\).*/\1/p' "$home/out")
    length=$(sed -n 's/.*"saved".*"seconds":\([0-9.]*\).*/\1/p' "$home/out")
    local s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    # Delivered: the frames of the whole take that were grabbed anew, not
    # held over a tick missed.
    echo "$1 fps=$(rate $((frames - dropped)) "$length")" \
        "dropped=$dropped cpu_pct=$(pct $((r1 - r0)) "$s")" \
        "xserver_cpu_pct=$(pct $((s1 - s0)) "$s")"
    rm -f "$home/videos"/*
}

x11grab_run() { # LABEL OUTPUT-OPTIONS...
    local label=$1 t0 t1 s0 s1 grabber g0 g1
    shift
    ffmpeg -v error -nostdin -y -f x11grab -framerate 30 -video_size 1280x720 -i "$DISPLAY+102,102" \
        "$@" &
    grabber=$!
    sleep 1 # its start-up is no part of the steady rate
    t0=$(now) g0=$(ticks $grabber) s0=$(ticks "$xserver")
    sleep "$seconds"
    t1=$(now) g1=$(ticks $grabber) s1=$(ticks "$xserver")
    wait $grabber
    local s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    echo "$label cpu_pct=$(pct $((g1 - g0)) "$s") xserver_cpu_pct=$(pct $((s1 - s0)) "$s")"
}

# wakeups PID...: context switches so far of every thread of these processes.
wakeups() {
    cat $(printf '/proc/%s/task/*/status ' "$@") 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}
# Capture off: record sleeps until the key changes. The baseline wakes 30
# times a second, as a recorder that reads the flag at every tick does.
idle_run() {
    "$zs" record --dir "$home/videos" >/dev/null &
    local recorder=$!
    python3 -c 'import time
while True: time.sleep(1 / 30)' &
    local watcher=$!
    sleep 1 # their start-up is no part of it
    local t0 r0 w0 t1 r1 w1
    t0=$(now) r0=$(wakeups $recorder) w0=$(wakeups $watcher)
    sleep "$seconds"
    t1=$(now) r1=$(wakeups $recorder) w1=$(wakeups $watcher)
    kill $recorder $watcher
    wait $recorder $watcher
    local s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    echo "record off wakeups_per_s=$(rate $((r1 - r0)) "$s") ticking_wakeups_per_s=$(rate $((w1 - w0)) "$s")"
}
# A take while two busy loops hold both cores: its length against the time
# capture was on, and the ticks it missed.
hog_run() {
    "$zs" record --json --dir "$home/videos" >"$home/out" &
    local recorder=$! hogs=() t0 t1
    for _ in 1 2; do
        awk 'BEGIN { for (;;) { } }' &
        hogs+=($!)
    done
    sleep 1
    # The two clicks' instants: when the flag was written.
    "$zs" set open_cam 1
    t0=$(stat -c %.9Y "$XDG_CONFIG_HOME/screen-capture-rvk/open_cam")
    sleep "$seconds"
    "$zs" set open_cam 0
    t1=$(stat -c %.9Y "$XDG_CONFIG_HOME/screen-capture-rvk/open_cam")
    for _ in $(seq 600); do grep -q saved "$home/out" && break; sleep 0.05; done
    kill "${hogs[@]}" $recorder
    wait "${hogs[@]}" $recorder 2>/dev/null
    local file take dropped
    file=$(sed -n 's/.*"saved","file":"\([^"]*\)".*/\1/p' "$home/out")
    take=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
    dropped=$(sed -n 's/.*"saved".*"dropped":\([0-9]*\).*/\1/p' "$home/out")
    echo "record hog take_s=$take wall_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')" \
        "dropped=$dropped"
    rm -f "$home/videos"/*
}

idle_run
# In a GNOME session nobody would answer the portal's first dialog yet.
[ -z "$gnomehand" ] && hog_run
record_run "record idle" 0
record_run "record moving" 1
[ -n "$gnomehand" ] && exit 0
x11grab_run "x11grab encode" -t $((seconds + 2)) -c:v libx264 -preset veryfast -crf 23 \
    -pix_fmt yuv420p "$home/x.mkv"
echo "x11grab encode fps=$(rate "$(frames_of "$home/x.mkv")" $((seconds + 2)))"
# The grab alone on a still desktop: record's grabber at every tick with no
# encoder (bench_grab, built beside record), against x11grab into the null
# muxer.
grab=$(dirname "$zs")/../bench/bench_grab
if [ -x "$grab" ]; then
    "$grab" "$seconds"
    x11grab_run "x11grab null" -t $((seconds + 2)) -f null -
fi

#!/bin/bash
# record for Windows under Wine against record on X11: the same 1280 x 720
# take at 30 frames a second on the same screen, frames delivered a second,
# ticks dropped and CPU as % of one core (the Wine process's own ticks; its
# wineserver apart). Prints one line for each. Runs inside tools/xsession.sh.
#
#     tools/xsession.sh bench/bench_record_wine.sh ZORVI_SETTINGS ZORVI_SETTINGS.EXE SECONDS
source "$(dirname "$0")/../tests/common/check.sh"
native=$1 windows=$2 seconds=$3
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime
export WINEPREFIX=$tmp/wine WINEDEBUG=-all WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d'
mkdir -p "$HOME" "$WINEPREFIX" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS
trap 'kill $(jobs -p) 2>/dev/null; wineserver -k; wineserver -w; wait; rm -rf "$tmp"' EXIT
wineserver -p
wineboot --init 2>/dev/null
convert -size 1920x1080 -define gradient:angle=45 gradient:navy-gold "$tmp/screen.png" &&
    display -window root "$tmp/screen.png"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now() { date +%s.%N; }

take() { # LABEL ZS...
    local label=$1 recorder t0 t1 r0 r1
    shift
    "$@" init >/dev/null || exit 1
    # A 2-pixel frame around 1280 x 720 at (102, 102).
    for value in start_x=100 start_y=100 capture_width=1284 capture_height=724 capture_border=2; do
        "$@" set "${value%=*}" "${value#*=}" || exit 1
    done
    "$@" record --json --audio none --dir "$(winpath "$tmp/videos")" >"$tmp/out" 2>"$tmp/err" &
    recorder=$!
    sleep 2
    "$@" set open_cam 1
    within 20 grep -q recording "$tmp/out" || { echo "bench_record_wine: no take: $(cat "$tmp/err")" >&2; exit 1; }
    sleep 0.5 # the encoder's start-up is no part of the steady rate
    t0=$(now) r0=$(ticks $recorder)
    sleep "$seconds"
    t1=$(now) r1=$(ticks $recorder)
    "$@" set open_cam 0
    within 30 grep -q saved "$tmp/out" || { echo "bench_record_wine: not saved: $(cat "$tmp/err")" >&2; exit 1; }
    kill $recorder
    wait $recorder 2>/dev/null
    local frames dropped length
    frames=$(sed -n 's/.*"saved".*"frames":\([0-9]*\).*/\1/p' "$tmp/out")
    dropped=$(sed -n 's/.*"saved".*"dropped":\([0-9]*\).*/\1/p' "$tmp/out")
    length=$(sed -n 's/.*"saved".*"seconds":\([0-9.]*\).*/\1/p' "$tmp/out")
    awk -v l="$label" -v f="$frames" -v d="$dropped" -v s="$length" -v c=$((r1 - r0)) \
        -v w="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%s fps=%.1f dropped=%d cpu_pct=%.1f\n", l, (f - d) / s, d, 100 * c / hz / w }'
    rm -rf "$tmp/videos"
}

winpath() { [ "$windows_take" = 1 ] && winepath -w "$1" 2>/dev/null || echo "$1"; }
windows_take=0 take "record on X11" "$native"
windows_take=1 take "record under Wine" wine "$windows"

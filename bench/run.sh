#!/bin/bash
# Builds the benchmarks in Release and prints one table: every figure next to
# a baseline measured in the same run and their ratio, each command named
# once above the rows it gives. The machine is shared and noisy: read the
# ratios, not the times.
#
#     bench/run.sh [--quick] [--build-dir DIR] [--no-build]
#
# --quick (or ZORVI_BENCH_QUICK=1) runs everything once with tiny counts, in
# seconds, so that the programs do not rot. The script fails only when a
# program does not build or does not run to its end; never on a figure.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

quick=${ZORVI_BENCH_QUICK:-0}
build_dir=$root/build-bench
build=1
inside_x=0
while [ $# -gt 0 ]; do
    case $1 in
    --quick) quick=1 ;;
    --build-dir) build_dir=$2; shift ;;
    --no-build) build=0 ;;
    --inside-x) inside_x=1 ;; # internal: the X part, in a private session
    *) echo "usage: bench/run.sh [--quick] [--build-dir DIR] [--no-build]" >&2; exit 2 ;;
    esac
    shift
done
build_dir=$(cd "$root" && mkdir -p "$build_dir" && cd "$build_dir" && pwd)
bin=$build_dir/bench

if [ "$quick" = 1 ]; then
    store_flags=(--benchmark_min_time=0.001)
    drag_args=(20 2 1)
    latency_args=(20)
    starts=1
    idle_seconds=1
    record_seconds=1
    sync_seconds=5
else
    store_flags=(--benchmark_min_time=0.5 --benchmark_repetitions=5
        --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true)
    drag_args=(1000 400 5)
    latency_args=(2000)
    starts=7
    idle_seconds=30
    record_seconds=20
    sync_seconds=600
fi
widths=(600 1920 3840)

# The X part: start-up, memory and idling of the real picker and of the
# bare windows, one at a time, on a fresh key. Idling also counts the X
# server and the window manager, whom the picker may keep busy. Prints one
# line per run.
if [ "$inside_x" = 1 ]; then
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    mkdir -m 700 "$home/runtime"
    export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime
    export ZORVI_NO_RECORD=1 # the picker alone, as the baselines are
    mkdir -p "$XDG_CONFIG_HOME"
    "$build_dir/cli/zorvi-settings" init >/dev/null || exit 1
    # The frame shown, as while the user picks a region.
    "$build_dir/cli/zorvi-settings" set show_capture 1 || exit 1
    # xsession.sh started both; this script is its command.
    session=($(pgrep -P "$PPID" -x Xvfb) $(pgrep -P "$PPID" -x openbox))
    [ ${#session[@]} = 2 ] || { echo "bench: no Xvfb and openbox of this session" >&2; exit 1; }
    measure() { # LABEL IDLE_SECONDS COMMAND...
        local label=$1 seconds=$2 line
        shift 2
        # Both windows sit at (100, 100) and paint the title-bar blue there.
        line=$("$bin/bench_xwatch" 102 110 48a4f6 "$seconds" "${session[@]}" -- "$@" \
            2>"$home/err") || { cat "$home/err" >&2; exit 1; }
        echo "$label $line"
    }
    for _ in $(seq "$starts"); do
        measure "start picker" 0 "$build_dir/app/zorvi"
        measure "start bare" 0 "$bin/bare_window"
    done
    measure "idle picker" "$idle_seconds" "$build_dir/app/zorvi"
    measure "idle bare-ticking" "$idle_seconds" "$bin/bare_window" --tick-every-50ms
    measure "idle bare-raising" "$idle_seconds" "$bin/bare_window" --raise-every-50ms
    exit 0
fi

if [ "$build" = 1 ]; then
    # shellcheck source=../tools/setup.sh
    source "$root/tools/setup.sh"
    ensure_packages "${build_packages[@]}" libbenchmark-dev libx11-dev xvfb xauth openbox \
        x11-utils procps ffmpeg imagemagick mutter xwayland pipewire wireplumber \
        xdg-desktop-portal xdg-desktop-portal-gnome dbus-daemon dbus-bin >&2 || exit 1
    echo "bench: building in $build_dir (Release)" >&2
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
    cmake --build "$build_dir" -j "$(nproc)" --target zorvi zorvi-settings bench_store \
        bench_drag bench_latency bench_xwatch bare_window zorvi_gnomehand >/dev/null || exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
# run NAME COMMAND...: the output in $out/NAME; a failure is counted, not fatal.
run() {
    local name=$1
    shift
    echo "bench: $*" >&2
    if ! "$@" >"$out/$name" 2>"$out/$name.err"; then
        echo "bench: FAILED: $*" >&2
        tail -n 20 "$out/$name.err" >&2
        failed=1
    fi
}
run store "$bin/bench_store" --benchmark_format=csv "${store_flags[@]}"
QT_QPA_PLATFORM=offscreen run latency "$bin/bench_latency" "${latency_args[@]}"
# Without a window manager a move's requests go straight to the X server,
# and the round trip that ends each round covers all of their work.
QT_QPA_PLATFORM=xcb run drag "$root/tools/xsession.sh" --limit 1200 --no-wm --size 3840x2160 \
    "$bin/bench_drag" "${drag_args[@]}" "${widths[@]}"
QT_QPA_PLATFORM=xcb run x "$root/tools/xsession.sh" --limit 1200 "$here/run.sh" --inside-x \
    --build-dir "$build_dir" $([ "$quick" = 1 ] && echo --quick)
run record "$root/tools/xsession.sh" --limit 1200 "$here/bench_record.sh" "$build_dir/cli/zorvi-settings" \
    "$record_seconds"
# The same takes in a Wayland session, from the desktop's screen-cast portal.
run sync "$root/tools/xsession.sh" --limit $((sync_seconds + 300)) "$here/bench_sync.sh" \
    "$build_dir/cli/zorvi-settings" "$sync_seconds"
run record_wayland "$root/tools/gnome-session.sh" --size 1920x1080 "$here/bench_record.sh" \
    "$build_dir/cli/zorvi-settings" "$record_seconds" "$build_dir/tests/zorvi_gnomehand"

# Microseconds of one benchmark: the median of the repetitions, or the one run.
store_us() {
    awk -F, -v name="\"$1\"" -v median="\"$1_median\"" '
        $1 == median { m = $3 } $1 == name { v = $3 }
        END { if (m != "") v = m; if (v == "") print "nan"; else printf "%.2f", v / 1000 }' \
        "$out/store"
}
# field FILE KEY [LINE-PREFIX]: the value of KEY=... on the line.
field() {
    grep -h "^${3:-}" "$out/$1" 2>/dev/null | head -n1 | tr ' ' '\n' | sed -n "s/^$2=//p"
}
# median FILE PREFIX KEY over all matching lines.
median() {
    grep -h "^$2" "$out/$1" 2>/dev/null | tr ' ' '\n' | sed -n "s/^$3=//p" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "nan" }'
}
calc() { awk "BEGIN { printf \"%.${2:-2}f\", $1 }" 2>/dev/null || echo nan; }
verdict() { awk "BEGIN { exit !($1) }" 2>/dev/null && echo met || echo missed; }

rows=()
row() { rows+=("| $1 | $2 | $3 | $4 | $5 |"); }
# The command that gives the rows below it, once.
command_row() { rows+=("| **\`$1\`** | | | | |"); }

if [ -s "$out/store" ]; then
    command_row "build-bench/bench/bench_store ${store_flags[*]}"
    ws=$(store_us BM_writeSetting)
    wp=$(store_us BM_writePosition)
    for n in 1 2; do
        store=$([ $n = 1 ] && echo "$ws" || echo "$wp")
        what=$([ $n = 1 ] && echo "writeSetting, 1 value" || echo "writePosition, 2 values")
        pw=$(store_us "BM_pwriteOpenFile/$n")
        rn=$(store_us "BM_renameReplace/$n")
        qs=$(store_us "BM_qsettingsSync/$n")
        r=$(calc "$store / $pw" 1)
        row "$what vs pwrite into an open file" "$store µs" "$pw µs" "$r× slower" \
            "≤ 8×: $(verdict "$r <= 8")"
        r=$(calc "$rn / $store" 1)
        sc=$(store_us "BM_storeSyscalls/$n")
        row "$what vs its own system calls, bare (context)" "$store µs" "$sc µs" \
            "$(calc "$store / $sc" 2)×" "(context)"
        row "$what vs temp file + rename" "$store µs" "$rn µs" "$r× faster" \
            "≥ 5×: $(verdict "$r >= 5")"
        r=$(calc "$qs / $store" 1)
        row "$what vs QSettings setValue + sync" "$store µs" "$qs µs" "$r× faster" \
            "≥ 20×: $(verdict "$r >= 20")"
    done
fi

if [ -s "$out/latency" ]; then
    command_row "QT_QPA_PLATFORM=offscreen build-bench/bench/bench_latency ${latency_args[*]}"
    for q in median p99; do
        p=$(field latency "picker_${q}_us")
        b=$(field latency "bare_${q}_us")
        goal=$([ $q = median ] && echo "≤ 200 µs: $(verdict "$p <= 200")" || echo "(none)")
        row "move → value seen by an inotify reader, $q" "$p µs" "$b µs, 2 bare pwrites" \
            "$(calc "$p / $b" 1)×" "$goal"
    done
fi

if [ -s "$out/drag" ]; then
    command_row "QT_QPA_PLATFORM=xcb tools/xsession.sh --no-wm --size 3840x2160 build-bench/bench/bench_drag ${drag_args[*]} ${widths[*]}"
    for move in drag resize; do
        what=$([ $move = drag ] && echo "drag move" || echo "corner-resize move")
        bare=$([ $move = drag ] && echo "bare widget moving" || echo "bare widget resizing")
        for w in "${widths[@]}"; do
            # Only the frame and the title bar are the picker's to draw: at
            # the widest a resize must cost well under a plain window's.
            limit=$([ $move = drag ] && echo 1.2 || { [ "$w" = 3840 ] && echo 0.4 || echo 1.0; })
            p=$(field drag picker_us "$move width=$w ")
            b=$(field drag bare_us "$move width=$w ")
            r=$(calc "$p / $b" 2)
            row "$what, region $w wide, µs/event" "$(calc "$p" 0) µs" "$(calc "$b" 0) µs, $bare" \
                "$r×" "≤ $limit×: $(verdict "$r <= $limit")"
        done
        for w in "${widths[@]}"; do
            p=$(field drag picker_us "$move width=$w ")
            t=$(field drag translucent_bare_us "$move width=$w ")
            row "$what, region $w wide, against a translucent bare widget (context)" \
                "$(calc "$p" 0) µs" "$(calc "$t" 0) µs, translucent, as the picker is on Windows" \
                "$(calc "$p / $t" 2)×" "(context)"
        done
    done
fi

if [ -s "$out/x" ]; then
    command_row "QT_QPA_PLATFORM=xcb tools/xsession.sh bench/run.sh --inside-x$([ "$quick" = 1 ] && echo " --quick")"
    s=$(field x idle_s "idle picker")
    pw=$(field x together_wakeups_per_s "idle picker")
    tw=$(field x together_wakeups_per_s "idle bare-ticking")
    r=$(calc "$pw / $tw" 2)
    row "idle ${s} s, picker + X server + openbox: wakeups a second" "$(calc "$pw" 1)" \
        "$(calc "$tw" 1), bare window with an empty 50 ms timer (+ the same two)" "$r×" \
        "≤ 1.2× and ≤ 25: $(verdict "$r <= 1.2 && $pw <= 25")"
    pc=$(field x together_cpu_pct "idle picker")
    tc=$(field x together_cpu_pct "idle bare-ticking")
    r=$(calc "$pc / $tc" 2)
    row "idle, picker + X server + openbox: CPU, % of one core" "$pc %" "$tc %, the same" \
        "$r×" "≤ 1.2×: $(verdict "$r <= 1.2")"
    rw=$(field x together_wakeups_per_s "idle bare-raising")
    rc=$(field x together_cpu_pct "idle bare-raising")
    row "idle, the same: wakeups a second, against raising on every tick (context)" \
        "$(calc "$pw" 1)" "$(calc "$rw" 1), bare window raising itself every 50 ms (+ the same two)" \
        "$(calc "$pw / $rw" 2)×" "(context)"
    row "idle, the same: CPU, against raising on every tick (context)" "$pc %" "$rc %, the same" \
        "$(calc "$pc / $rc" 2)×" "(context)"
    p=$(field x idle_cpu_pct "idle picker")
    b=$(field x idle_cpu_pct "idle bare-raising")
    r=$(calc "$p / $b" 2)
    row "idle CPU of the picker alone, % of one core" "$p %" "$b %, bare window raising every 50 ms" \
        "$r×" "≤ 0.1 % and ≤ 2×: $(verdict "$p <= 0.1 && $r <= 2")"
    t=$(field x idle_cpu_pct "idle bare-ticking")
    row "idle CPU of the picker alone, against a window whose timer does nothing" "$p %" \
        "$t %, bare window, empty 50 ms timer" "$(calc "$p / $t" 2)×" "(context)"
    p=$(median x "start picker" startup_ms)
    b=$(median x "start bare" startup_ms)
    r=$(calc "$p / $b" 2)
    row "start-up, exec → first paint (median of $starts)" "$p ms" "$b ms, bare window" "$r×" \
        "≤ 1.2×: $(verdict "$r <= 1.2")"
    p=$(median x "start picker" maxrss_kb)
    b=$(median x "start bare" maxrss_kb)
    r=$(calc "$p / $b" 2)
    row "peak RSS (median of $starts)" "$((p / 1024)) MiB" "$((b / 1024)) MiB, bare window" \
        "$r×" "≤ 1.2×: $(verdict "$r <= 1.2")"
fi

if [ -s "$out/record" ]; then
    command_row "tools/xsession.sh bench/bench_record.sh build-bench/cli/zorvi-settings $record_seconds"
    x=$(field record fps "x11grab encode fps")
    for how in idle moving; do
        f=$(field record fps "record $how")
        d=$(field record dropped "record $how")
        row "1280×720 at 30/s, $how: frames delivered a second, $d dropped" "$f" \
            "$x, ffmpeg -f x11grab of a fixed region, same encoder" "$(calc "$f / $x" 2)×" \
            "none dropped: $(verdict "$d == 0")"
    done
    w=$(field record wakeups_per_s "record off")
    b=$(field record ticking_wakeups_per_s "record off")
    row "record while capture is off: wakeups a second" "$w" \
        "$b, a loop sleeping 1/30 s (a flag read at every tick)" "$(calc "$w / $b" 2)×" \
        "≤ 1/s: $(verdict "$w <= 1")"
    t=$(field record take_s "record hog")
    c=$(field record wall_s "record hog")
    d=$(field record dropped "record hog")
    row "a take under a CPU hog on both cores: its length, $d ticks missed" "$t s" \
        "$c s, capture on by the wall clock" "$(calc "$t - $c" 3) s" \
        "within a frame (±0.033 s): $(verdict "($t - $c) ^ 2 <= 0.0333 ^ 2")"
    t=$(field record cpu_pct "x11grab encode")
    for how in idle moving; do
        r=$(field record cpu_pct "record $how")
        row "grab and encode, $how: record alone (grab, convert, encode, one process), CPU" "$r %" \
            "$t %, x11grab encoding a fixed region in one ffmpeg" "$(calc "$r / $t" 2)×" \
            "≤ 0.9×: $(verdict "$r <= 0.9 * $t")"
    done
    r=$(field record xserver_cpu_pct "record idle")
    t=$(field record xserver_cpu_pct "x11grab encode")
    row "the X server's CPU while it is grabbed from (context)" "$r %" "$t %, for x11grab" \
        "$(calc "$r / $t" 2)×" "(context)"    r=$(field record cpu_pct "record grab")
    t=$(field record cpu_pct "x11grab null")
    if [ -n "$r" ] && [ -n "$t" ]; then
        row "grab alone, a still desktop: record's grabber at every tick, no encoder, CPU" \
            "$r %" "$t %, x11grab into the null muxer" "$(calc "$r / $t" 2)×" \
            "≤ 1.0×: $(verdict "$r <= $t")"
    fi
fi

if [ -s "$out/sync" ]; then
    command_row "tools/xsession.sh bench/bench_sync.sh build-bench/cli/zorvi-settings $sync_seconds"
    a=$(field sync start_offset_s sync)
    b=$(field sync end_offset_s sync)
    row "a ${sync_seconds} s take: the beep against the flash at the last second (negative: before)" "$b s" \
        "$a s, at the first" "$(calc "$b - $a" 3) s" \
        "the same within a frame (±0.033 s): $(verdict "($b - $a) ^ 2 <= 0.0333 ^ 2")"
    a=$(field sync rss_early_kib sync)
    b=$(field sync rss_late_kib sync)
    row "the same take: record's resident memory at its end" "$b KiB" "$a KiB, after a minute" \
        "$(calc "$b / $a" 2)×" "flat (≤ 1.1×): $(verdict "$b <= 1.1 * $a")"
fi

if [ -s "$out/record_wayland" ]; then
    command_row "tools/gnome-session.sh --size 1920x1080 bench/bench_record.sh build-bench/cli/zorvi-settings $record_seconds build-bench/tests/zorvi_gnomehand"
    for how in idle moving; do
        f=$(field record_wayland fps "record $how")
        d=$(field record_wayland dropped "record $how")
        x=$(field record fps "record $how")
        row "Wayland, 1280×720 at 30/s, $how: frames delivered a second, $d dropped" "$f" \
            "$x, the same take on X11" "$(calc "$f / $x" 2)×" "none dropped: $(verdict "$d == 0")"
    done
    w=$(field record_wayland cpu_pct "record idle")
    x=$(field record cpu_pct "record idle")
    row "Wayland, grab and encode: CPU of record, % of one core" "$w %" \
        "$x %, the same take on X11" "$(calc "$w / $x" 1)×" "(none)"
    c=$(field record_wayland xserver_cpu_pct "record idle")
    s=$(field record xserver_cpu_pct "record idle")
    row "Wayland: record + the compositor, against record + the X server on X11 (context)" \
        "$(calc "$w + $c" 1) %" "$(calc "$x + $s" 1) %" "$(calc "($w + $c) / ($x + $s)" 2)×" \
        "(context)"
fi

echo
echo "| what | figure | baseline | ratio | goal |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n1)," \
    "$(uname -sr), Qt $(qmake -query QT_VERSION 2>/dev/null || echo 5)$([ "$quick" = 1 ] && echo '; quick mode: counts too small to mean anything')."
exit $failed

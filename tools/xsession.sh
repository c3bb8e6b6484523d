#!/bin/bash
# Runs a command in a private X session: Xvfb at 1920x1080 and 96 DPI, with
# openbox. With --two-screens, a nested Xephyr shows two screens side by side
# (1920x1080 and 1366x768) and the command runs there. With --no-wm, no
# window manager runs; with --picom, a compositor runs too. --size WxH sizes Xvfb.
# The command gets --limit SECONDS (240 unless given): past that it fails, and
# everything it started ends with it, also what left its process group.
set -u
two_screens=0
window_manager=1
compositor=0
size=1920x1080
limit=240
while [ $# -gt 0 ]; do
    case $1 in
    --two-screens) two_screens=1 ;;
    --no-wm) window_manager=0 ;;
    --picom) compositor=1 ;;
    --size) size=$2; shift ;;
    --limit) limit=$2; shift ;;
    *) break ;;
    esac
    shift
done

tmp=$(mktemp -d)
pids=()
command=
# The live processes of session SID, by their ids.
members() {
    local file line fields
    for file in /proc/[0-9]*/stat; do
        { line=$(<"$file"); } 2>/dev/null || continue
        fields=(${line##*) })
        [ "${fields[3]}" = "$1" ] && [ "${fields[0]}" != Z ] && echo "${file//[^0-9]/}"
    done
}
# Ends every process of the command's session: asked first, then killed.
end_command() {
    [ -n "$command" ] || return 0
    local left
    left=$(members "$command")
    [ -z "$left" ] && return 0
    kill $left 2>/dev/null
    for _ in $(seq 50); do
        left=$(members "$command")
        [ -z "$left" ] && return 0
        sleep 0.1
    done
    kill -KILL $left 2>/dev/null
}
cleanup() {
    end_command
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# -displayfd picks a free display, so sessions can run side by side. Sets
# DISPLAY to the new server's. Not in a subshell: its pid must reach cleanup.
start_server() { # name, args...
    local name=$1
    shift
    "$@" -displayfd 3 3>"$tmp/$name.display" >"$tmp/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        [ -s "$tmp/$name.display" ] && break
        sleep 0.05
    done
    if [ ! -s "$tmp/$name.display" ]; then
        echo "xsession: $name did not start" >&2
        cat "$tmp/$name.log" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$tmp/$name.display")"
}

start_server xvfb Xvfb -screen 0 "${size}x24" -noreset -dpi 96 -nolisten tcp
if [ $two_screens = 1 ]; then
    start_server xephyr Xephyr -screen 1920x1080+0+0 -screen 1366x768+1920+0 \
        +xinerama -extension RANDR -noreset -dpi 96 -nolisten tcp
fi

if [ $window_manager = 1 ]; then
    openbox >"$tmp/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
if [ $compositor = 1 ]; then
    picom --backend xrender >"$tmp/picom.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do xwininfo -root -children | grep -q '"picom"' && break; sleep 0.05; done
fi

# A session of its own: its id names every process the command starts.
setsid "$@" &
command=$!
running() {
    local line fields
    { line=$(<"/proc/$command/stat"); } 2>/dev/null || return 1
    fields=(${line##*) })
    [ "${fields[0]}" != Z ]
}
for ((end = SECONDS + limit; SECONDS < end; )); do
    running || break
    sleep 0.2
done
if running; then
    echo "xsession: FAIL: $* ran past its limit of $limit s; ended with all it started" >&2
    end_command
    wait "$command" 2>/dev/null
    exit 1
fi
wait "$command"

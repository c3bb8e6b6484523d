#!/bin/bash
# The picker's writes to the store (pwrite64 calls, two a pair) when the
# window system moves it and when the user drags it: one pair a move, never
# two. Needs strace and an X session.
#
#     tools/xsession.sh bench/storewrites.sh ZORVI ZORVI_SETTINGS
source "$(dirname "$0")/../tests/common/check.sh"
export XDG_RUNTIME_DIR=$tmp XDG_CONFIG_HOME=$tmp/config ZORVI_NO_RECORD=1
zorvi=$1 zs=$2
"$zs" init >/dev/null
"$zorvi" 2>/dev/null &
picker=$!
within 10 eval 'window=$(xdotool search --onlyvisible --pid $picker)' || exit 1
sleep 1
# writes WHAT XDOTOOL-STEPS...: the store's writes while xdotool runs them.
writes() {
    local what=$1
    shift
    strace -f -qq -e trace=pwrite64 -o "$tmp/trace" -p $picker &
    local tracer=$!
    sleep 1
    xdotool "$@"
    sleep 1
    kill $tracer
    wait $tracer 2>/dev/null
    echo "$what: $(grep -c pwrite64 "$tmp/trace") writes; the store says $("$zs" region)"
}
writes "xdotool windowmove to 700,400" windowmove "$window" 700 400
steps=(mousemove 900 410 mousedown 1)
for i in $(seq 50); do steps+=(sleep 0.02 mousemove $((900 + i * 4)) $((410 + i * 2))); done
writes "a drag of 50 steps" "${steps[@]}" sleep 0.1 mouseup 1
kill $picker

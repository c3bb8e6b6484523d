#!/bin/bash
# Pickers started at the same instant, as a double click on a slow desktop or
# an autostart racing the user starts them: all but one end with 1 and that
# one stays. It is then killed: the next trial starts after a crash.
#
#     bench/race.sh ZORVI [TRIALS]
source "$(dirname "$0")/../tests/common/check.sh"
export XDG_RUNTIME_DIR=$tmp XDG_CONFIG_HOME=$tmp QT_QPA_PLATFORM=offscreen
trials=${2:-30} won=0
for ((trial = 0; trial == won && trial < trials; ++trial)); do
    pickers=() refused=0
    for ((i = 0; i < 3 + trial % 2; ++i)); do
        (until [ -e "$tmp/go" ]; do sleep 0.001; done && exec "$1" 2>/dev/null) &
        pickers+=($!)
    done
    touch "$tmp/go"
    for ((end = SECONDS + 10; $(jobs -rp | wc -l) > 1 && SECONDS < end; )); do sleep 0.01; done
    sleep 0.3
    running=$(jobs -rp | wc -l)
    kill -9 $(jobs -rp) 2>/dev/null
    for pid in "${pickers[@]}"; do
        wait "$pid" 2>/dev/null
        [ $? = 1 ] && refused=$((refused + 1))
    done
    [ "$running" = 1 ] && [ $refused = $((${#pickers[@]} - 1)) ] && won=$((won + 1))
    rm "$tmp/go"
done
echo "racing starts: $trial trials of 3 or 4 pickers, $won with exactly one running"
[ $won = "$trials" ]

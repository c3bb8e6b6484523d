#!/bin/bash
# Runs the value fuzzer from the committed seeds for a bounded time. A failed
# check, a sanitizer report or an input that takes over 10 s fails the run;
# the input that did it is kept beside the fuzzer.
#
#     tests/fuzz/run.sh FUZZER [SECONDS]
set -uo pipefail
fuzzer=$(realpath "$1")
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
cp "$(dirname "${BASH_SOURCE[0]}")/corpus/"* "$work/corpus/"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$(dirname "$fuzzer")/" "$work/corpus" >"$work/log" 2>&1
status=$?
if [ $status -eq 0 ]; then
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added))' "$work/log"
else
    tail -n 40 "$work/log"
fi
exit $status

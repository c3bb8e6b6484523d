# Sourced by the shell tests: a scratch folder that goes with the test, the
# expectations that say where they failed, and a bounded wait.
set -u
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$tmp"' EXIT
failed=0
fail() {
    local i=0
    [ "${FUNCNAME[1]}" = same ] && i=1
    echo "FAIL at line ${BASH_LINENO[i]}${check:+ in $check}: $*"
    failed=1
}
same() { [ "$1" = "$2" ] || fail "got '$1', wanted '$2'"; }
# within SECONDS COMMAND...: whether the command succeeds before the time is up.
within() {
    for ((end = SECONDS + $1; SECONDS <= end; )); do
        "${@:2}" && return
        sleep 0.05
    done
    return 1
}

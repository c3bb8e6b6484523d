#!/bin/bash
# A test that hangs fails within its own limit and leaves nothing behind:
# xsession.sh given a command that never ends, past a limit of 2 s, with a
# child and an orphan in a process group of its own (as record's ffmpeg is,
# once record is gone).
#
#     tests/e2e/limit.sh tools/xsession.sh
source "$(dirname "$0")/../common/check.sh"
xsession=$1
started=$SECONDS
# Bounded here too: an xsession.sh that does not end them would wait on them.
timeout -k 5 30 "$xsession" --limit 2 bash -c "echo \$\$ >'$tmp/command'
    sleep 600 & echo \$! >'$tmp/child'
    bash -c 'set -m; sleep 600 & echo \$! >\"$tmp/orphan\"'
    sleep 600" 2>"$tmp/err"
same "$? $(grep -c 'ran past its limit of 2 s' "$tmp/err")" "1 1"
((SECONDS - started < 30)) || fail "ended after $((SECONDS - started)) s"
for name in command child orphan; do
    pid=$(<"$tmp/$name")
    [ ! -e "/proc/$pid" ] || [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" = Z ] ||
        { fail "the $name ($pid) is still running"; kill -KILL "$pid"; }
done
exit $failed

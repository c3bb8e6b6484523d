#!/bin/sh
# Runs a command with a /tmp of its own, where it may take the well-known
# names a real picker would use. Needs root; without it the command runs as
# it is, and tests that need the private /tmp skip.
if [ "$(id -u)" = 0 ]; then
    # A build under /tmp would vanish with the old /tmp: the command's folder
    # is bound back into the new one, reached through the working directory.
    dir=$(cd "$(dirname "$1")" && pwd -P) || exit 1
    exec unshare --mount sh -c '
        cd "$1" && mount -t tmpfs zorvi-tmp /tmp || exit 1
        case $1 in /tmp/*) mkdir -p "$1" && mount --no-canonicalize --bind . "$1" || exit 1 ;; esac
        shift
        cd / && ZORVI_PRIVATE_TMP=1 exec "$@"' sh "$dir" "$@"
fi
exec "$@"

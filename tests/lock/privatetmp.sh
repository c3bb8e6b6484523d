#!/bin/sh
# Runs a command with a /tmp of its own, where it may take the well-known
# names a real picker would use. Needs root; without it the command runs as
# it is, and tests that need the private /tmp skip.
if [ "$(id -u)" = 0 ]; then
    exec unshare --mount sh -c 'mount -t tmpfs zorvi-tmp /tmp && ZORVI_PRIVATE_TMP=1 exec "$@"' sh "$@"
fi
exec "$@"

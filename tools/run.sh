#!/bin/bash
# Installs what is missing, builds, creates the settings key for this user
# when it is absent, and starts the picker, which starts the recorder
# (zorvi-settings record) beside itself: the capture button records to
# ~/Videos. tools/run.sh --no-record starts the picker alone.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

ensure_packages "${build_packages[@]}"
# Only what it runs: the tests and benchmarks are the test command's.
build "$source_dir/build" --target zorvi zorvi-settings

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "zorvi: no display to show the picker on (DISPLAY is not set)" >&2
    exit 1
fi

# The picker only opens its key; creating it is the installer's step.
"$source_dir/build/cli/zorvi-settings" init >/dev/null

if [ "${ZORVI_NO_RECORD:-}" != 1 ] && [[ " $* " != *" --no-record "* ]]; then
    echo "zorvi: the capture button records into your videos folder: the picker starts" \
        "zorvi-settings record beside itself (tools/run.sh --no-record starts the picker alone)" >&2
fi
# The picker looks for zorvi-settings beside itself, then on the PATH.
PATH="$source_dir/build/cli:$PATH" exec "$source_dir/build/app/zorvi" "$@"

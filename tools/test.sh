#!/bin/bash
# Installs what is missing, builds with warnings as errors, and runs every
# test: the store, the guard, the arithmetic, the widgets, the real picker
# under private X servers, and the Windows code under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

ensure_packages "${build_packages[@]}" \
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils xserver-xephyr \
    g++-mingw-w64-x86-64-posix wine64 wine
build "$source_dir/build-tests" -DZORVI_WERROR=ON

status=0
ctest --test-dir "$source_dir/build-tests" --output-on-failure -j 2 || status=1
"$source_dir/tools/wine-tests.sh" "$source_dir/build-wine" || status=1
exit $status

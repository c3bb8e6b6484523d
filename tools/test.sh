#!/bin/bash
# Installs what is missing, builds with warnings as errors, and runs every
# test: the store, the guard, the arithmetic, the widgets, the real picker
# under private X servers, the Debian package, and the Windows code and
# installer under Wine; then runs the benchmarks once, briefly. The Windows
# picker and installer run when Qt for Windows is in the cache; with
# --windows it is built first when it is not (about 30 min), and so are
# FFmpeg's libraries for Windows (about 6 min).
#
#     tools/test.sh [--windows]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

ensure_packages "${build_packages[@]}" \
    kwin-wayland libglib2.0-bin \
    xvfb xauth openbox picom xdotool x11-utils x11-xserver-utils xserver-xephyr imagemagick wmctrl \
    ffmpeg maim dpkg-dev file lintian man-db pulseaudio pulseaudio-utils dbus-daemon dbus-bin dunst util-linux procps \
    sway grim wev wtype mutter xwayland pipewire wireplumber strace \
    dbus xdg-desktop-portal xdg-desktop-portal-gnome \
    g++-mingw-w64-x86-64-posix wine64 wine nsis libbenchmark-dev libx11-dev
if [ "${1:-}" = --windows ]; then
    "$source_dir/tools/qt-windows.sh" >/dev/null
    "$source_dir/tools/ffmpeg-windows.sh" >/dev/null
fi
build "$source_dir/build-tests" -DZORVI_WERROR=ON

status=0
ctest --test-dir "$source_dir/build-tests" --output-on-failure -j 2 || status=1
"$source_dir/tools/wine-tests.sh" "$source_dir/build-wine" || status=1

# The whole suite again with the memory and undefined-behaviour checkers.
# fontconfig and the X libraries keep caches for the life of the process:
# those are not leaks of ours.
build "$source_dir/build-asan" -DZORVI_WERROR=ON -DZORVI_SANITIZE=ON || status=1
ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
    LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$source_dir/build-asan" --output-on-failure -j 2 || status=1

# The benchmarks once, with tiny counts, so that they keep building and
# running; their figures mean nothing here and fail nothing.
"$source_dir/bench/run.sh" --quick || status=1
exit $status

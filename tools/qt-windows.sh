#!/usr/bin/env bash
# Builds Qt 5 for 64-bit Windows from Debian's own source of the Qt it ships,
# with mingw-w64: only what the picker and its tests link (Core, Gui, Widgets,
# Test, qtmain, the windows and offscreen platform plugins and the host tools).
# Installs it into a cache outside the tree and reuses it when it is there.
#
#     tools/qt-windows.sh            prints the install prefix on its last line
#     tools/qt-windows.sh --cached   only prints it, if it is built (else exits 1)
#
# Environment: ZORVI_QT_JOBS (default 2), ZORVI_CACHE (default
# ${XDG_CACHE_HOME:-$HOME/.cache}/zorvi). Adds a deb-src entry to apt's sources
# when there is none, and installs what it needs with apt.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tools/setup.sh
source "$script_dir/setup.sh"

qt_version=5.15.8
cache=${ZORVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zorvi}
jobs=${ZORVI_QT_JOBS:-2}

# Debian's tarball leaves out src/3rdparty/wintab, hence no tablet events.
configure_flags=(-xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32-
    -opensource -confirm-license -release -shared -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-ssl -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype
    -qt-pcre -qt-harfbuzz -no-sql-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent
    -no-feature-printer -no-feature-tabletevent)
flags_hash=$(printf '%s\n' "${configure_flags[@]}" | sha256sum | cut -c1-8)
prefix=$cache/qt-$qt_version-win64-$flags_hash

say() { echo "qt-windows: $*" >&2; }
fail() {
    say "$*"
    exit 1
}

if [ -f "$prefix/lib/cmake/Qt5/Qt5Config.cmake" ] && [ -f "$prefix/.complete" ]; then
    [ "${1:-}" = --cached ] || say "reusing $prefix"
    echo "$prefix"
    exit 0
fi
[ "${1:-}" != --cached ] || exit 1

ensure_packages g++-mingw-w64-x86-64-posix make perl python3 xz-utils ||
    fail "cannot install the build tools"

started=$(date +%s)
tarball=$(debian_source qtbase-opensource-src "qtbase-opensource-src_$qt_version*.orig.tar.xz" \
    "$cache/src") || fail "no qtbase $qt_version source"

work=$cache/build-$qt_version
source_tree=$work/qtbase-everywhere-src-$qt_version
if [ ! -f "$source_tree/configure" ]; then
    say "unpacking $(basename "$tarball")"
    rm -rf "$work"
    mkdir -p "$work"
    tar -C "$work" -xf "$tarball" || fail "cannot unpack $tarball"
    [ -f "$source_tree/configure" ] || fail "no configure in $source_tree"
fi

build_tree=$work/build
mkdir -p "$build_tree"
cd "$build_tree"
if [ ! -f Makefile ] || [ "$(cat configured-flags 2>/dev/null)" != "$flags_hash" ]; then
    say "configuring (log: $build_tree/configure.log)"
    nice -n 19 "$source_tree/configure" -prefix "$prefix" "${configure_flags[@]}" \
        >configure.log 2>&1 || {
        tail -n 30 configure.log >&2
        fail "configure failed, see $build_tree/configure.log"
    }
    echo "$flags_hash" >configured-flags
fi

make_log=$build_tree/make.log
: >"$make_log"
run_make() { # what, make arguments...
    local what=$1
    shift
    say "$what ($(($(date +%s) - started)) s so far; log: $make_log)"
    nice -n 19 make "$@" >>"$make_log" 2>&1 || {
        grep -m 5 -B 2 -A 5 -w 'error\|Error' "$make_log" >&2 || tail -n 30 "$make_log" >&2
        fail "$what failed, see $make_log"
    }
}
[ -f src/Makefile ] || run_make "generating the makefiles" sub-src-qmake_all
# The libraries' targets bring the host tools and the bundled third-party
# code they need, nothing else of Qt.
run_make "building Core, Gui, Widgets, Test and qtmain" -C src -j "$jobs" \
    sub-widgets sub-testlib sub-winmain sub-platformsupport
# windows: the picker's platform; offscreen: the widget tests'.
plugins=(platforms/windows platforms/offscreen)
for plugin in "${plugins[@]}"; do
    run_make "building the $plugin plugin" -C "src/plugins/$plugin" -j "$jobs"
done
installed=(src/tools/moc src/tools/rcc src/tools/uic src/corelib src/gui src/widgets src/testlib
    src/winmain "${plugins[@]/#/src/plugins/}")
for part in "${installed[@]}"; do
    run_make "installing $part" -C "$part" install
done
run_make "installing qmake and the mkspecs" install_mkspecs sub-qmake-qmake-aux-pro-install_subtargets
[ -f "$prefix/lib/cmake/Qt5/Qt5Config.cmake" ] ||
    fail "no $prefix/lib/cmake/Qt5/Qt5Config.cmake after the install"
[ -f "$prefix/plugins/platforms/qwindows.dll" ] || fail "no qwindows.dll in $prefix/plugins"
touch "$prefix/.complete"
say "built and installed Qt $qt_version for Windows into $prefix in $(($(date +%s) - started)) s"
echo "$prefix"

#!/usr/bin/env bash
# The Windows code, tested here: cross-builds the Qt-free store and guard with
# mingw-w64 and runs their tests under Wine in a throwaway prefix, compiles
# the icon resource, and syntax-checks the Windows sources that need Qt
# against Debian's Qt headers. When Qt for Windows is in the cache
# (tools/qt-windows.sh), it also builds the whole project with it, the
# package and the installer too, and runs the arithmetic's tests and the
# picker's end-to-end run on the unzipped package and on the installed one
# under Wine on Xvfb.
#
#     tools/wine-tests.sh [BUILD_DIR]        (default /tmp/zorvi-wine-build;
#                                             BUILD_DIR-qt with Qt)
#
# Installs nothing. Needs: g++-mingw-w64-x86-64-posix wine64 wine googletest
# cmake qtbase5-dev, and with Qt nsis and what tests/e2e needs. Exits with ctest's
# status, or 1 when only a compile check failed.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-/tmp/zorvi-wine-build}
target=x86_64-w64-mingw32
qt_include=/usr/include/x86_64-linux-gnu/qt5

missing=()
for tool in "$target-g++-posix" "$target-gcc-posix" "$target-windres" wine wineserver wineboot \
    cmake ctest; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(/usr/src/googletest)
[ -f "$qt_include/QtWidgets/QWidget" ] || missing+=("$qt_include/QtWidgets")
if [ ${#missing[@]} -ne 0 ]; then
    echo "wine-tests: missing ${missing[*]}; install g++-mingw-w64-x86-64-posix wine64 wine googletest cmake qtbase5-dev" >&2
    exit 2
fi

# With FFmpeg's libraries for Windows in the cache (tools/ffmpeg-windows.sh),
# record records; without them it says it cannot.
ffmpeg_prefix=$("$source_dir/tools/ffmpeg-windows.sh" --cached) ||
    echo "wine-tests: no FFmpeg for Windows in the cache (tools/ffmpeg-windows.sh builds it): record is not built"
cmake -S "$source_dir" -B "$build_dir" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZORVI_WERROR=ON -DZORVI_FFMPEG_PREFIX="$ffmpeg_prefix"
cmake --build "$build_dir" -j "$(nproc)"
qt_build_dir=
if qt_prefix=$("$source_dir/tools/qt-windows.sh" --cached); then
    qt_build_dir=$build_dir-qt
    cmake -S "$source_dir" -B "$qt_build_dir" \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DZORVI_WERROR=ON -DQt5_DIR="$qt_prefix/lib/cmake/Qt5" \
        -DZORVI_FFMPEG_PREFIX="$ffmpeg_prefix"
    cmake --build "$qt_build_dir" -j "$(nproc)"
else
    echo "wine-tests: no Qt for Windows in the cache (tools/qt-windows.sh builds it): the picker is not run"
fi

checks_failed=0
check() { # name, command...
    local name=$1
    shift
    if "$@"; then
        echo "wine-tests: $name: ok"
    else
        echo "wine-tests: $name: FAILED" >&2
        checks_failed=1
    fi
}

# The toolkit looks the program's default window icon up by this name; a
# misspelt name would still compile.
# shellcheck disable=SC2317 # called through check
icon_resource() {
    local object="$build_dir/zorvi_rc.o"
    "$target-windres" -I "$source_dir/resources" -O coff -o "$object" \
        "$source_dir/resources/zorvi.rc" &&
        "$target-windres" -i "$object" -O rc | grep '^"IDI_ICON1" 14 ' >/dev/null
}
check "resources/zorvi.rc compiles with an IDI_ICON1 icon group" icon_resource

mapfile -t qt_sources < <(cd "$source_dir" && find window overlay app -name '*_win.cpp' | sort)
if [ ${#qt_sources[@]} -eq 0 ]; then
    echo "wine-tests: no Windows source that needs Qt found under window/, overlay/ or app/" >&2
    checks_failed=1
fi
for source in "${qt_sources[@]}"; do
    # -Wno-attributes: the Linux Qt headers' visibility attributes mean
    # nothing to a Windows compiler.
    check "$source passes a syntax check" "$target-g++-posix" -std=c++17 -fsyntax-only \
        -Wall -Wextra -Wpedantic -Werror -Wno-attributes \
        -I"$qt_include" -I"$qt_include/QtCore" -I"$qt_include/QtGui" -I"$qt_include/QtWidgets" \
        -I"$source_dir" "$source_dir/$source"
done

wine_start=$(date +%s%N)
WINEPREFIX=$(mktemp -d /tmp/zorvi-wineprefix.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d'
unset DISPLAY WAYLAND_DISPLAY
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true # it may still write into the prefix
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A persistent server: otherwise every test pays about 3 s of Wine start-up.
wineserver -p
wineboot --init 2>/dev/null
status=0
(cd "$build_dir" && ctest --output-on-failure --timeout 120 -LE display) || status=$?
# The store and the guard ran above already, the grabber runs below.
if [ -n "$qt_build_dir" ]; then
    (cd "$qt_build_dir" && ctest --output-on-failure --timeout 600 -E '^(store|singleinstance|gdigrabber)$') ||
        status=$?
fi
# The tests that draw on a screen need a Wine desktop made inside their X
# session, hence a server that their own first process starts; they come
# last, as the prefix is not fit for other tests after them.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
(cd "$build_dir" && ctest --output-on-failure --timeout 120 -L display) || status=$?
wine_end=$(date +%s%N)
elapsed_ms=$(((wine_end - wine_start) / 1000000))
printf 'wine-tests: Wine part (prefix, boot, ctest) took %d.%03d s\n' \
    $((elapsed_ms / 1000)) $((elapsed_ms % 1000))

if [ "$status" -ne 0 ]; then
    exit "$status"
fi
exit "$checks_failed"

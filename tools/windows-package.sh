#!/usr/bin/env bash
# The Windows packages, built on Linux: Qt for Windows first if the cache has
# none (tools/qt-windows.sh, about half an hour), then the mingw-w64 build,
# CPack's zip and the installer (makensis, Debian's nsis). Prints their paths
# on its last two lines.
#
#     tools/windows-package.sh [BUILD_DIR]        (default build-windows)
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$source_dir/build-windows}
qt_prefix=$("$source_dir/tools/qt-windows.sh" | tail -n 1)
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQt5_DIR="$qt_prefix/lib/cmake/Qt5" >/dev/null
nice cmake --build "$build_dir" -j 2
(cd "$build_dir" && cpack -G ZIP >/dev/null)
cmake --build "$build_dir" --target zorvi_installer >/dev/null
ls "$build_dir"/zorvi-*-win64.zip "$build_dir"/zorvi-*-win64-setup.exe

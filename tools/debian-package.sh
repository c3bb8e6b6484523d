#!/usr/bin/env bash
# The Debian package: installs what the build needs when it is missing, makes
# a Release build of the two programs with Debian's hardening flags, and
# CPack's .deb from it (cmake/debian-package.cmake), its dependencies
# computed from the programs by dpkg-shlibdeps. Prints the package's path on
# its last line.
#
#     tools/debian-package.sh [BUILD_DIR]        (default build-deb)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
build_dir=${1:-$source_dir/build-deb}

ensure_packages "${build_packages[@]}" dpkg-dev file
# CMake takes no CPPFLAGS: the fortified functions' macro goes in with the
# compiler's flags.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
# Only the programs and their files; the tests and benchmarks are not packaged.
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
nice cmake --build "$build_dir" -j 2 --target zorvi zorvi-settings zorvi_manpages zorvi_changelog
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/zorvi_*.deb

#!/usr/bin/env bash
# Builds FFmpeg's libraries for 64-bit Windows from Debian's own sources of
# FFmpeg, x264 and Opus, with mingw-w64: static, and only what the recorder
# uses (the H.264 and Opus encoders, the Matroska muxer, the scaler and the
# resampler; the H.264 decoder and the Matroska demuxer for the tests that
# read a take back). Installs them into a cache outside the tree and reuses
# them when they are there.
#
#     tools/ffmpeg-windows.sh            prints the install prefix on its last line
#     tools/ffmpeg-windows.sh --cached   only prints it, if it is built (else exits 1)
#
# Environment: ZORVI_FFMPEG_JOBS (default 2), ZORVI_CACHE (default
# ${XDG_CACHE_HOME:-$HOME/.cache}/zorvi). Installs what it needs with apt.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tools/setup.sh
source "$script_dir/setup.sh"

ffmpeg_version=5.1.9
x264_version=0.164.3095+gitbaee400
opus_version=1.3.1
cache=${ZORVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zorvi}
jobs=${ZORVI_FFMPEG_JOBS:-2}
host=x86_64-w64-mingw32

# Opus without its hardening: the fortified calls it would compile in need a
# library that nothing else here links (its configure adds _FORTIFY_SOURCE
# whatever it is told, so that is taken out of its Makefile too).
opus_flags=(--host=$host --enable-static --disable-shared --disable-doc --disable-extra-programs
    --disable-hardening --disable-stack-protector)
x264_flags=(--host=$host --cross-prefix=$host- --enable-static --disable-cli --disable-opencl)
ffmpeg_flags=(--arch=x86_64 --target-os=mingw32 --cross-prefix=$host- --pkg-config=pkg-config
    --pkg-config-flags=--static --enable-gpl --enable-static --disable-shared --disable-programs
    --disable-doc --disable-network --disable-autodetect --enable-w32threads --disable-everything
    --disable-avdevice --disable-avfilter --disable-postproc --enable-libx264 --enable-libopus
    --enable-encoder=libx264,libopus --enable-muxer=matroska --enable-protocol=file
    --enable-decoder=h264,opus --enable-demuxer=matroska --enable-parser=h264,opus
    --enable-swscale --enable-swresample)
flags_hash=$(printf '%s\n' "$x264_version" "$opus_version" "${opus_flags[@]}" "${x264_flags[@]}" \
    "${ffmpeg_flags[@]}" | sha256sum | cut -c1-8)
prefix=$cache/ffmpeg-$ffmpeg_version-win64-$flags_hash

say() { echo "ffmpeg-windows: $*" >&2; }
fail() {
    say "$*"
    exit 1
}

if [ -f "$prefix/.complete" ]; then
    [ "${1:-}" = --cached ] || say "reusing $prefix"
    echo "$prefix"
    exit 0
fi
[ "${1:-}" != --cached ] || exit 1

ensure_packages g++-mingw-w64-x86-64-posix make nasm pkg-config xz-utils ||
    fail "cannot install the build tools"

started=$(date +%s)
work=$cache/build-ffmpeg-$flags_hash
rm -rf "$work" "$prefix"
mkdir -p "$work"
log=$work/build.log
: >"$log"
# Every step in its own folder, logged; the last lines of the log on failure.
step() { # what, folder, command...
    local what=$1 folder=$2
    shift 2
    say "$what ($(($(date +%s) - started)) s so far; log: $log)"
    (cd "$folder" && nice -n 19 "$@") >>"$log" 2>&1 || {
        tail -n 30 "$log" >&2
        fail "$what failed, see $log"
    }
}
unpack() { # package, tarball glob, folder name inside
    local tarball
    tarball=$(debian_source "$1" "$2" "$cache/src") || fail "no source of $1"
    tar -C "$work" -xf "$tarball" || fail "cannot unpack $tarball"
    [ -d "$work/$3" ] || fail "no $3 in $tarball"
    echo "$work/$3"
}

opus=$(unpack opus "opus_$opus_version.orig.tar.gz" "opus-$opus_version")
step "configuring Opus" "$opus" ./configure --prefix="$prefix" "${opus_flags[@]}"
step "unfortifying Opus" "$opus" sed -i 's/ -D_FORTIFY_SOURCE=2//' Makefile
step "building Opus" "$opus" make -j "$jobs" install

x264=$(unpack x264 "x264_$x264_version.orig.tar.gz" "x264-$x264_version")
step "configuring x264" "$x264" ./configure --prefix="$prefix" "${x264_flags[@]}"
step "building x264" "$x264" make -j "$jobs" install

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
ffmpeg=$(unpack ffmpeg "ffmpeg_$ffmpeg_version.orig.tar.xz" "ffmpeg-$ffmpeg_version")
step "configuring FFmpeg" "$ffmpeg" ./configure --prefix="$prefix" "${ffmpeg_flags[@]}"
step "building FFmpeg's libraries" "$ffmpeg" make -j "$jobs" install

for library in avformat avcodec swscale swresample avutil; do
    [ -f "$prefix/lib/lib$library.a" ] || fail "no lib$library.a in $prefix/lib"
done
rm -rf "$work"
touch "$prefix/.complete"
say "built FFmpeg $ffmpeg_version, x264 and Opus for Windows into $prefix in $(($(date +%s) - started)) s"
echo "$prefix"

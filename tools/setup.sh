# Sourced by run.sh and test.sh: installs the Debian packages that are
# missing (as root, or through sudo) and builds the project.
#
#     ensure_packages PACKAGE...
#     build DIR [CMAKE_OPTION...] [--target TARGET...]
#     debian_source PACKAGE GLOB FOLDER   prints the path of the package's
#                                         upstream tarball, fetched into FOLDER

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_packages=(cmake g++ make qtbase5-dev libqt5x11extras5-dev libcli11-dev libxcb1-dev libxcb-shm0-dev
    libxcb-xfixes0-dev libxcb-damage0-dev libsystemd-dev libxcb-shape0-dev qtbase5-private-dev liblayershellqtinterface-dev
    layer-shell-qt qtwayland5 libwayland-dev wayland-protocols pkg-config libpipewire-0.3-dev
    plasma-wayland-protocols googletest libgtest-dev fonts-dejavu-core
    libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev libpulse-dev)

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "zorvi: missing packages (${missing[*]}), and no root or sudo to install them" >&2
            return 1
        fi
        sudo=(sudo -n)
    fi
    echo "zorvi: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q </dev/null &&
        "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
            "${missing[@]}" </dev/null
}

build() {
    local dir=$1
    shift
    local options=()
    while [ $# -gt 0 ] && [ "$1" != --target ]; do
        options+=("$1")
        shift
    done
    cmake -S "$source_dir" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null &&
        cmake --build "$dir" -j "$(nproc)" "$@"
}

# The Windows libraries are built from the source of what Debian ships; apt
# fetches it, with a deb-src entry added when there is none.
debian_source() {
    local package=$1 glob=$2 folder=$3 tarball
    mkdir -p "$folder"
    tarball=$(find "$folder" -maxdepth 1 -name "$glob" | head -n 1)
    if [ -z "$tarball" ]; then
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
        if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            local signed_by
            signed_by=$(sed -n 's/^Signed-By: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
                head -n 1)
            [ -n "$signed_by" ] || signed_by=/usr/share/keyrings/debian-archive-keyring.gpg
            echo "zorvi: adding Debian's source archive to apt (/etc/apt/sources.list.d/zorvi-deb-src.sources)" >&2
            printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: %s\n' \
                "$signed_by" | "${sudo[@]}" tee /etc/apt/sources.list.d/zorvi-deb-src.sources >/dev/null ||
                { echo "zorvi: cannot write the deb-src entry (needs root or sudo)" >&2; return 1; }
            "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q </dev/null >&2 ||
                { echo "zorvi: apt-get update failed" >&2; return 1; }
        fi
        echo "zorvi: fetching the source of $package through apt into $folder" >&2
        (cd "$folder" && apt-get source --download-only "$package" </dev/null >&2) ||
            { echo "zorvi: apt-get source $package failed" >&2; return 1; }
        tarball=$(find "$folder" -maxdepth 1 -name "$glob" | head -n 1)
        [ -n "$tarball" ] || { echo "zorvi: apt fetched no $glob into $folder" >&2; return 1; }
    fi
    echo "$tarball"
}

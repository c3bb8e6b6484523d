# Sourced by run.sh and test.sh: installs the Debian packages that are
# missing (as root, or through sudo) and builds the project.
#
#     ensure_packages PACKAGE...
#     build DIR [CMAKE_OPTION...] [--target TARGET...]

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_packages=(cmake g++ make qtbase5-dev libqt5x11extras5-dev libcli11-dev libxcb1-dev libxcb-shm0-dev
    libxcb-xfixes0-dev libsystemd-dev libxcb-shape0-dev qtbase5-private-dev liblayershellqtinterface-dev
    layer-shell-qt qtwayland5 libwayland-dev wayland-protocols pkg-config libpipewire-0.3-dev
    plasma-wayland-protocols googletest libgtest-dev fonts-dejavu-core)

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

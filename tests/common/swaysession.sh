# Sourced by the sway tests with their arguments (ZORVI ZORVI_SETTINGS
# ZORVI_VPOINTER), after an array `outputs` of sway output lines: sway refuses root, so
# as root the calling script runs itself as an unprivileged user, made if
# missing (ZORVI_TEST_USER, zorvi-wayland); as that user, check.sh is sourced
# and a headless sway started with those outputs and XWayland. Then
# WAYLAND_DISPLAY and SWAYSOCK name it, and $zorvi $zs $vpointer the programs.
if [ "$(id -u)" = 0 ]; then
    user=${ZORVI_TEST_USER:-zorvi-wayland}
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
        { echo "FAIL: no user $user to run sway"; exit 1; }
    # That user may not reach this tree (a clone under /root): it runs copies.
    stage=$(mktemp -d)
    mkdir "$stage/e2e" "$stage/common"
    cp "$0" "$stage/e2e/" && cp "$(dirname "${BASH_SOURCE[0]}")"/{check,wayland,swaysession}.sh "$stage/common/" &&
        cp "$1" "$2" "$3" "$stage/" && chmod -R a+rX "$stage" || exit 1
    runuser -u "$user" -- "$stage/e2e/$(basename "$0")" "$stage/$(basename "$1")" \
        "$stage/$(basename "$2")" "$stage/$(basename "$3")"
    status=$?
    rm -rf "$stage"
    exit $status
fi
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
zorvi=$1 zs=$2 vpointer=$3
export XDG_RUNTIME_DIR=$tmp HOME=$tmp XDG_CONFIG_HOME=$tmp/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE SWAYSOCK
# The sanitizers' leak report would need files this user may not read.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
chmod 700 "$tmp"

{ printf '%s\n' "${outputs[@]}"; echo "xwayland enable"; } >"$tmp/sway.conf"
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=${#outputs[@]} \
    sway -c "$tmp/sway.conf" >"$tmp/sway.log" 2>&1 &
sway=$!
socket() { compgen -G "$tmp/wayland-*.lock" >/dev/null; }
within 20 socket || { echo "FAIL: sway did not start"; cat "$tmp/sway.log"; exit 1; }
lock=$(compgen -G "$tmp/wayland-*.lock")
export WAYLAND_DISPLAY=$(basename "${lock%.lock}")
export SWAYSOCK=$(compgen -G "$tmp/sway-ipc.*.sock")

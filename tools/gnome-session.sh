#!/bin/bash
# Runs a command in a private headless GNOME session: mutter at 1280x720 (or
# --size WxH) with XWayland, PipeWire and WirePlumber, and the desktop's
# portal, started on demand on the session's own bus. Everything has a folder of its own (HOME,
# the runtime folder, the XDG folders), so that the portal's permissions start
# empty and parallel sessions never meet. The command sees WAYLAND_DISPLAY,
# DISPLAY and XAUTHORITY (mutter's XWayland), DBUS_SESSION_BUS_ADDRESS and
# GNOME_SESSION_MUTTER (mutter's pid); its exit status is the session's.
#
#     tools/gnome-session.sh [--size WxH] COMMAND...
set -u
if [ -z "${ZORVI_GNOME_SESSION:-}" ]; then
    export ZORVI_GNOME_SIZE=1280x720
    [ "${1:-}" = --size ] && ZORVI_GNOME_SIZE=$2 && shift 2
    tmp=$(mktemp -d /tmp/zorvi-gnome.XXXXXX)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/home" "$tmp/run"
    chmod 700 "$tmp/run"
    export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/home/.config \
        XDG_DATA_HOME=$tmp/home/.local/share XDG_STATE_HOME=$tmp/home/.local/state \
        XDG_CACHE_HOME=$tmp/home/.cache XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS
    ZORVI_GNOME_SESSION=$tmp dbus-run-session -- "$0" "$@"
    exit $?
fi

tmp=$ZORVI_GNOME_SESSION
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM INT
# started NAME PROBE...: waits up to 20 s for the probe to succeed.
started() {
    local name=$1 i
    shift
    for i in $(seq 200); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "gnome-session: $name did not start" >&2
    tail -n 20 "$tmp/$name.log" >&2
    exit 1
}

export WAYLAND_DISPLAY=zorvi-gnome-$$
mutter --headless --wayland --virtual-monitor "$ZORVI_GNOME_SIZE" --wayland-display "$WAYLAND_DISPLAY" \
    >"$tmp/mutter.log" 2>&1 &
pids+=($!)
export GNOME_SESSION_MUTTER=$!
started mutter test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
xwayland() {
    local pid
    pid=$(pgrep -P "$GNOME_SESSION_MUTTER" -x Xwayland) &&
        DISPLAY=$(tr '\0' '\n' <"/proc/$pid/cmdline" | grep -m1 '^:[0-9]') &&
        XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*) &&
        DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY xdpyinfo >/dev/null
}
started mutter xwayland
export DISPLAY XAUTHORITY
pipewire >"$tmp/pipewire.log" 2>&1 &
pids+=($!)
started pipewire test -S "$XDG_RUNTIME_DIR/pipewire-0"
wireplumber >"$tmp/wireplumber.log" 2>&1 &
pids+=($!)
started wireplumber pgrep -P $$ -x wireplumber
# The portal and its backend are started by the bus: they must see the display.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    XDG_RUNTIME_DIR DISPLAY XAUTHORITY HOME

"$@"

# Sourced by the end-to-end tests of the recorder the picker starts: a
# private home whose videos folder gets the takes, zorvi-settings on the PATH
# for the picker to find, the lines the recorder prints, and what ffprobe and
# ffmpeg make of its files.
#
#     source tests/common/recorder.sh ZORVI ZORVI_SETTINGS
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
source "$(dirname "${BASH_SOURCE[0]}")/takefiles.sh"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE ZORVI_NO_RECORD
export HOME=$tmp/home PATH="$(dirname "${zs[0]}"):$PATH"
videos=$HOME/Videos white=ffffff
mkdir -p "$HOME"
xsetroot -solid "#$root"

# The lines the recorder printed: how many of a kind, and a field of the Nth
# ("$" the last): recording FILE: WxH at X,Y / saved FILE: S s, N frames, D dropped.
events() { grep -c "^$1 " "$tmp/out"; }
field() {
    local pattern='^recording \(.*\): \([0-9]*x[0-9]*\) at \(-*[0-9]*,-*[0-9]*\)$' names=(file size place)
    [ "$1" = saved ] && pattern='^saved \(.*\): \([0-9.]*\) s, \([0-9]*\) frames, \([0-9]*\) dropped$' \
        names=(file seconds frames dropped)
    local i
    for i in 0 1 2 3; do [ "${names[i]:-}" = "$3" ] && break; done
    grep "^$1 " "$tmp/out" | sed -n "$2p" | sed -n "s/$pattern/\\$((i + 1))/p"
}
# pointer_at FILE SECONDS-FROM-THE-END X Y: whether the pointer's tip is at
# (X, Y) of that frame: something other than the desktop just below and right.
pointer_at() {
    local c
    frame "$1" "$2" pointer
    for c in $(colours "$tmp/pointer.ppm" "8x8+$3+$4"); do
        near "$c" $root || return 0
    done
    return 1
}
# lasts FILE v|a: sets length to the seconds from the first packet of that
# stream to the end of its last.
lasts() {
    length=$(ffprobe -v error -select_streams "$2" -show_entries packet=pts_time,duration_time \
        -of csv=p=0 "$1" | awk -F, 'NF >= 2 && $1 != "" {
            if (first == "" || $1 < first) first = $1
            if ($1 + $2 > end) end = $1 + $2 }
            END { if (first == "") exit 1; printf "%.3f", end - first }')
}
click_capture() { xdotool mousemove "$1" "$2" click 1; } # the button: 190 px right of the window's left
# drag_slowly X Y X Y: a drag in 20 steps 50 ms apart.
drag_slowly() {
    local steps="mousemove $1 $2 mousedown 1" i
    for i in $(seq 20); do
        steps+=" sleep 0.05 mousemove $(($1 + ($3 - $1) * i / 20)) $(($2 + ($4 - $2) * i / 20))"
    done
    xdotool $steps sleep 0.05 mouseup 1
}

# A sound server of the test's own, as the desktop runs one, with a tone
# playing into its default output.
sound_server() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        -L "module-null-sink sink_name=zorvitest" -L module-native-protocol-unix \
        -L module-always-sink >"$tmp/pulseaudio.log" 2>&1 &
    within 10 test -S "$XDG_RUNTIME_DIR/pulse/native" || fail "no sound server: $(cat "$tmp/pulseaudio.log")"
    pactl set-default-sink zorvitest
    ffmpeg -v error -nostdin -re -f lavfi -i sine=frequency=1000 -f pulse default &
}
# The picker on a fresh key, as a new user starts it: the recorder beside it.
start_picker() {
    rm -rf "$XDG_CONFIG_HOME"
    "${zs[@]}" init >/dev/null
    launch_picker
    within 20 locked "${recorder:-0}" || fail "the recorder took no lock: $(cat "$tmp/err")"
}
# launch_picker: the picker on the key as it is, and its recorder's pid.
launch_picker() {
    "${zorvi[@]}" >>"$tmp/out" 2>>"$tmp/err" &
    picker=$!
    within 10 up || fail "no window at (100, 100)"
    # No newline ends the list: read says so, having read it.
    within 10 eval 'recorder=; read -r recorder _ <"/proc/$picker/task/$picker/children"; [ -n "$recorder" ]' ||
        fail "no recorder started: $(cat "$tmp/err")"
}
# locked PID: whether it holds the session's recorder lock (an exclusive
# flock): a recorder is ready then.
locked() {
    awk -v pid="$1" '$2 == "FLOCK" && $4 == "WRITE" && $5 == pid { found = 1 } END { exit !found }' /proc/locks
}

#!/bin/bash
# The real picker on a real X server, driven by xdotool and read back as the
# outside program and a person would: through zorvi-settings and the pixels on
# the screen. Runs inside xsession.sh; prints a line for each expectation that
# fails and exits 1 if any did.
#
#     tests/e2e/xsession.sh [OPTION] tests/e2e/picker.sh ZORVI ZORVI_SETTINGS CHECK...
set -u
zorvi=$1 zs=$2
shift 2
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$tmp"' EXIT
export XDG_RUNTIME_DIR=$tmp XDG_CONFIG_HOME=$tmp/config
unset QT_QPA_PLATFORM
key=$XDG_CONFIG_HOME/screen-capture-rvk
title=48a4f6 frame=d42b10 root=336699
failed=0

fail() {
    echo "FAIL in $check at line ${BASH_LINENO[0]}: $*"
    failed=1
}
same() { [ "$1" = "$2" ] || fail "got '$1', wanted '$2'"; }
# within SECONDS COMMAND...: whether the command succeeds before the time is up.
within() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -le $end ] || return 1
        sleep 0.05
    done
}
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 rgb:- | od -An -tx1 | tr -d ' \n'; }
is() { [ "$(pixel "$1" "$2")" = "$3" ]; }
geometry() {
    xwininfo -id "$window" | awk '/Absolute upper-left [XY]|Width|Height/ { printf "%s ", $NF }'
}
at() { [ "$(geometry)" = "$* " ]; }
region() { "$zs" region "$@"; }
ended() { [ ! -e "/proc/$picker" ] || [ "$(cut -d ' ' -f 3 "/proc/$picker/stat")" = Z ]; }
ends_with() {
    within 5 ended || fail "still running"
    wait "$picker"
    same "$?" "$1"
}
up() { window=$(xdotool search --onlyvisible --pid "$picker") && [[ $(geometry) == "100 100 "* ]]; }
# start NAME=VALUE...: a picker on a fresh key holding these values, up at (100, 100).
start() {
    rm -rf "$XDG_CONFIG_HOME"
    mkdir -p "$key"
    for value in "$@"; do echo "${value#*=}" >"$key/${value%=*}"; done
    "$zorvi" &
    picker=$!
    within 5 up || fail "no window at (100, 100)"
}
# drag X Y X Y...: a hand's drag along the path, in small steps given time to arrive.
drag() {
    local steps="mousemove $1 $2 mousedown 1" x=$1 y=$2 i
    shift 2
    while [ $# -gt 1 ]; do
        for i in $(seq 20); do
            steps+=" sleep 0.01 mousemove $((x + ($1 - x) * i / 20)) $((y + ($2 - y) * i / 20))"
        done
        x=$1 y=$2
        shift 2
    done
    xdotool $steps sleep 0.05 mouseup 1
}
# xdotool has no way to lower a window.
lower() {
    python3 -c "import ctypes; x = ctypes.CDLL('libX11.so.6'); x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None)); x.XLowerWindow(d, ctypes.c_ulong($1)); x.XCloseDisplay(d)"
}
# The colours along an image's four edges, each once.
edges() {
    local w h crop
    read -r w h < <(identify -format '%w %h' "$1")
    for crop in "${w}x1+0+0" "${w}x1+0+$((h - 1))" "1x$h+0+0" "1x$h+$((w - 1))+0"; do
        convert "$1" -crop "$crop" +repage -alpha off -depth 8 -unique-colors txt:- | grep -o '#[0-9A-F]\{6\}'
    done | sort -u | tr '\n' ' '
}

check_frame_and_interior() {
    start show_capture=1 capture_border=4
    same "$(geometry)$(("$(<"$key/screen_scale")"))" "100 100 600 359 100"
    within 5 is 690 105 $title || fail "no title bar"
    local top=105 p
    while is 400 $top $title; do top=$((top + 1)); done
    # The frame, four pixels wide, around what lies below; another window
    # there is seen, and clicked, through the interior but not the frame.
    for p in "100 300" "103 300" "696 300" "699 300" "400 $top" "400 $((top + 3))" "400 455" "400 458"; do
        is $p $frame || fail "no frame at $p"
    done
    for p in "104 300" "400 $((top + 4))" "695 454" "700 300"; do is $p $root || fail "not see-through at $p"; done
    stdbuf -oL xev -geometry 100x100+250+250 -event button >"$tmp/xev" &
    within 5 is 300 300 ffffff || fail "the window below is not seen"
    xdotool mousemove 300 300 click 1 mousemove 101 300 click 1 sleep 0.3
    same "$(grep -c ButtonPress "$tmp/xev")" 1
    "$zorvi" 2>/dev/null
    same "$? $(ended || echo running)" "1 running" # a second start
}

check_moves_and_captures() {
    start show_capture=1 capture_border=3
    drag 680 108 917 259 # by the title bar's empty end
    within 5 at 337 251 600 359 || fail "not dragged: $(geometry)"
    # What a capture program takes: the frame's outer corner, below the title.
    local x y w h inner shot
    read -r x y w h < <(region)
    same "$x $w $h" "337 600 338"
    within 5 is "$x" "$y" $frame || fail "no frame at ($x, $y)"
    same "$(pixel "$x" $((y - 1))) $(pixel $((x - 1)) "$y")" "$title $root"
    drag 936 609 836 569 # the corner grip
    within 5 at 337 251 500 302 || fail "not resized: $(geometry)"
    same "$(region --format '%w %h')" "500 281"
    xdotool mousemove 680 260 click 1 key Right key shift+Down key ctrl+Right
    within 5 at 338 261 501 302 || fail "keys: $(geometry)"
    same "$(region --format '%x %w %h')" "338 501 281"

    xdotool mousemove 1900 1000 # both programs draw the pointer
    for inner in --inner ""; do
        maim -g "$(region $inner --format %g)" "$tmp/maim.png"
        ffmpeg -loglevel error -y -f x11grab -video_size "$(region $inner --format %wx%h)" \
            -i "$DISPLAY+$(region $inner --format %x,%y)" -frames:v 1 "$tmp/ffmpeg.png"
        for shot in "$tmp/maim.png" "$tmp/ffmpeg.png"; do
            same "$(identify -format '%wx%h ' "$shot")$(edges "$shot")" \
                "$(region $inner --format '%wx%h ')$([ -n "$inner" ] && echo "#336699 " || echo "#D42B10 ")"
            [[ $(convert "$shot" -gravity center -crop 1x1+0+0 txt:-) == *"#336699"* ]] || fail "$shot $inner"
        done
    done
}

check_keep_on_top() {
    start show_capture=1
    xev -geometry 200x200+50+200 >/dev/null &
    local other round
    within 5 eval 'other=$(xdotool search --onlyvisible --name "^Event Tester$")' || fail "no other window"
    local managed=$(xprop -root _NET_SUPPORTING_WM_CHECK | grep -c 'window id')
    if [ "$managed" = 1 ]; then
        wmctrl -i -r "$other" -b add,above
        xdotool windowactivate --sync "$other"
    fi
    # The frame's left edge crosses the other window: whose pixel is on top
    # after that window is raised, or the picker lowered?
    for round in 1 2 3 4 5 6; do
        if [ $((round % 2)) = 1 ]; then xdotool windowraise "$other"; else lower "$window"; fi
        sleep 0.1
        within 5 is 100 250 $frame || fail "not on top again in round $round"
    done
    [ "$managed" = 0 ] || same "$(xdotool getactivewindow)" "$other"
}

check_display_change() {
    start
    xrandr --newmode 1366x768 85.25 1366 1440 1576 1784 768 771 781 798 -hsync +vsync
    xrandr --addmode screen 1366x768
    xrandr -s 1366x768 || fail "no mode change"
    ends_with 0
    xrandr -s 1920x1080
}

# On two screens: 1920 x 1080 at (0, 0) and 1366 x 768 at (1920, 0).
check_presets_of_another_screen() {
    start show_capture=1
    drag 680 108 2500 108
    within 5 at 1920 100 600 359 || fail "not dragged: $(geometry)"
    # Pulled to that screen's edge, the corner reaches its own last preset,
    # and the window its corner. (The window manager keeps the growing
    # window on screen meanwhile.)
    drag 2519 458 3519 458 3519 498
    within 5 at 1920 0 1366 769 || fail "not at that screen's last preset: $(geometry)"
    same "$(region --format '%w %h')" "1366 748"
}

check_release_on_another_scale() {
    # In device pixels: on the scaled screen a logical pixel is 1.5 of them.
    QT_SCREEN_SCALE_FACTORS=';1.5' start show_capture=1
    drag 680 108 2900 300 900 300 # over it and back
    sleep 0.5
    ended && fail "ended on its own screen"
    kill "$picker"
    wait "$picker"
    QT_SCREEN_SCALE_FACTORS=';1.5' start show_capture=1
    drag 680 108 2900 300
    ends_with 0
}

xsetroot -solid "#$root"
for check in "$@"; do
    "check_$check"
    kill "$picker" $(jobs -p) 2>/dev/null
    wait
done
exit $failed

# Sourced by the Wayland tests, after check.sh: the hand (a pointer program
# fed through a pipe) and the eye (the test's own `screen X,Y WxH`, which
# prints that part of the screen as a PPM image), and what they check of the
# frame against the store.
#
#     hand POINTER_COMMAND...; then point, drag, click, clicks, through,
#     frames, is, remember, framed, below, start, resize
title=48a4f6 frame=d42b10
region() { "$zs" region "$@"; }
# The presses of the left button that the window below (wev, started with its
# output in $tmp/wev) has had: one per serial (wev prints an event once for
# each pointer object it holds).
clicks() {
    sed -n 's/.*serial: \([0-9]*\);.*button: 272 (left), state: 1 (pressed).*/\1/p' "$tmp/wev" |
        sort -u | wc -l
}
# through: a click on the frame stays with it, and one in the middle of the
# frame reaches the window below. In this order, as the window below would
# get both in the order made.
through() {
    local x y w h before
    before=$(clicks)
    read -r x y w h < <(region --inner)
    click $((x - 2)) $((y + h / 2))
    click $((x + w / 2)) $((y + h / 2))
    within 5 eval '[ "$(clicks)" -gt $before ]' ||
        fail "a click inside the frame did not reach the window below"
    [ "$(clicks)" -le $((before + 1)) ] || fail "a click on the frame reached the window below"
}

# The one pointer of the session. point COMMAND... waits until the
# compositor has taken them.
hand() {
    mkfifo "$tmp/pointer"
    "$@" <"$tmp/pointer" >"$tmp/pointer.out" &
    exec 3>"$tmp/pointer"
}
# (Counted afresh each time: a point in a subshell, as a screen of the hand's
# own, counts too.)
point() {
    local before
    before=$(grep -c ok "$tmp/pointer.out")
    printf '%s\n' "$@" sync >&3
    within 10 eval '[ "$(grep -c ok "$tmp/pointer.out")" -gt $before ]' || fail "the pointer is stuck"
}
# drag X Y X Y...: a hand's drag along the path, in small steps, after a
# hover at the start.
drag() {
    local steps=("move $1 $2" "wait 200" down) x=$1 y=$2 i
    shift 2
    while [ $# -gt 1 ]; do
        for i in $(seq 20); do
            steps+=("wait 10" "move $((x + ($1 - x) * i / 20)) $((y + ($2 - y) * i / 20))")
        done
        x=$1 y=$2
        shift 2
    done
    point "${steps[@]}" "wait 50" up "wait 100"
}
click() { point "move $1 $2" "wait 100" down "wait 20" up "wait 100"; }

pixels() { screen "$@" | convert ppm:- -depth 8 rgb:- | od -An -v -tx1 -w3 | tr -d ' '; }
is() { [ "$(pixels "$1,$2" 1x1)" = "$3" ]; }
# frames X,Y WxH: where the frame's colour lies along a line of the screen,
# as FIRST-LAST ranges of offsets into it.
frames() {
    pixels "$@" | awk -v f=$frame 'BEGIN { s = -1 } { if ($1 == f) { if (s < 0) s = NR - 1; e = NR - 1 }
        else if (s >= 0) { printf "%d-%d ", s, e; s = -1 } } END { if (s >= 0) printf "%d-%d ", s, e }'
}
# remember WxH: the screen of that size before the picker starts, what the
# inside of the frame must show wherever it goes; taken once the window below
# has drawn itself (wev: a checkerboard of 666666 and eeeeee at the centre of
# the first output) and the screen holds still. The pointer is parked only
# then: sway puts a window that shows itself later on the output the pointer
# has gone to.
remember() {
    size=$1
    within 30 eval '[[ $(pixels 640,360 1x1) =~ ^(666666|eeeeee)$ ]]' ||
        fail "the window below is not shown"
    park
    within 30 still || fail "the screen does not hold still"
}
still() {
    screen 0,0 "$size" | convert ppm:- -depth 8 "$tmp/again.ppm"
    cmp -s "$tmp/again.ppm" "$tmp/before.ppm" && return
    mv "$tmp/again.ppm" "$tmp/before.ppm"
    return 1
}
# park: the pointer to the screen's last pixel, where what compositors draw
# of it into their screens stays out of the way.
park() { point "move $((${size%x*} - 1)) $((${size#*x} - 1))"; }
# framed: the frame lies exactly on the published region's edges (a line
# across and one down, reaching a pixel beyond), and a capture of the inner
# region shows what was there before the picker, pixel for pixel: none of
# the frame, no black, no trail of an old place.
framed() {
    local x y w h b unlike
    park
    read -r x y w h < <(region)
    b=$(($(region --inner --format %x) - x))
    same "$(frames "$((x - 1)),$((y + h / 2))" $((w + 2))x1)" "1-$b $((w - b + 1))-$w "
    # Down, to the region's last row: the frame's bottom strip may reach a row
    # below it (the window is 21 pixels taller than the region).
    [[ $(frames "$((x + w / 2)),$y" 1x$h) =~ ^0-$((b - 1))\ [0-9]+-$((h - 1))\ $ ]] ||
        fail "not framed down: $(frames "$((x + w / 2)),$y" 1x$h)"
    unlike=$(diff <(pixels $(region --inner --format '%x,%y %wx%h')) \
        <(convert "$tmp/before.ppm" -crop "$(region --inner --format %g)" +repage rgb:- |
            od -An -v -tx1 -w3 | tr -d ' ') | grep -c '^<')
    [ "$unlike" = 0 ] || fail "$unlike pixels inside the frame unlike the screen below it"
}
# below LAYOUT: a Wayland window below the frame (wev, which prints the
# clicks it gets), and the screen with it remembered.
below() {
    stdbuf -oL wev >"$tmp/wev" 2>&1 &
    within 10 grep -qs xdg_toplevel "$tmp/wev" || fail "no window below"
    remember "$1"
}
# start: the picker, shown at (100, 100) with its frame where the store says.
start() {
    "$zorvi" 2>"$tmp/zorvi.log" &
    picker=$!
    within 20 is 690 105 $title || fail "no title bar at (100, 100): $(cat "$tmp/zorvi.log")"
    same "$(region)" "100 120 600 338"
    framed
}
# resize: the corner grip 100 to the left; the height follows at 16:9.
resize() {
    local x y w h
    read -r x y w h < <(region)
    drag $((x + w - 2)) $((y + h)) $((x + w - 102)) $((y + h + 50))
    same "$(region)" "$x $y 500 281"
    framed
}

# Sourced by what drives a headless GNOME session (tools/gnome-session.sh),
# the end-to-end tests and the benchmarks: mutter's own pointer and screen
# through the gnomehand helper (tools/wayland/gnomehand.cpp), and the screen-cast
# portal's dialog answered with them. Needs `within` (tests/common/check.sh).
#
#     start_hand GNOMEHAND    (then ask, seen, click, drag, share_screen)

# The dialog's Cancel button, its Share button greyed and ready, its list.
cancel=d9d9d9 greyed=90b7e7 share=3584e4 list=ffffff
# start_hand GNOMEHAND: the helper, up and reading the screen.
start_hand() {
    coproc hand { exec "$1"; }
    read -t 20 -r reply <&"${hand[0]}" && [ "$reply" = ready ]
}
# ask WORDS...: a command to the hand; its answer in $reply.
ask() { echo "$*" >&"${hand[1]}" && read -t 20 -r reply <&"${hand[0]}" || reply=; }
# seen RRGGBB: whether the colour is on the screen, as a solid rectangle
# (X Y W H in $reply).
seen() { ask find "$@" && [ -n "$reply" ] && [ "$reply" != none ]; }
centre() { read -r x y w h <<<"$1" && echo "$((x + w / 2)) $((y + h / 2))"; }
# point X Y: the pointer there, as a hand brings it: a press right after a
# jump may come before the window knows the pointer is in it.
point() {
    ask move $(($1 - 2)) $(($2 - 2))
    sleep 0.2
    ask move "$1" "$2"
    sleep 0.2
}
click() {
    point "$1" "$2"
    ask down
    sleep 0.1
    ask up
}
# drag X Y X Y...: a hand's drag along the path, in small steps.
drag() {
    local x=$1 y=$2 i
    point "$x" "$y"
    ask down
    sleep 0.1
    shift 2
    while [ $# -gt 1 ]; do
        for i in $(seq 20); do
            ask move $((x + ($1 - x) * i / 20)) $((y + ($2 - y) * i / 20))
            sleep 0.02
        done
        x=$1 y=$2
        shift 2
    done
    # The compositor merges motions of one frame: the last one again, and
    # time to arrive before the release, or the window stops a step short.
    sleep 0.2
    ask move "$x" "$y"
    sleep 0.2
    ask up
}
# share_screen: waits for the portal's dialog, chooses the monitor and
# clicks Share; false when it cannot, with where it stopped in $stopped.
share_screen() {
    local greyed_share
    stopped="no dialog"
    within 30 seen $greyed || return 1
    greyed_share=$reply
    stopped="no monitor to choose"
    within 5 seen $list && click $(centre "$reply") || return 1
    # The Share button in its colour once a monitor is chosen (the box
    # beside "Remember this selection" has it too).
    stopped="Share not ready"
    within 5 eval 'seen $share && [ "$reply" = "$greyed_share" ]' && click $(centre "$reply")
}

# Sourced by the shell tests that drive the real picker: a private key and
# runtime folder (for .exe programs, a fresh Wine prefix with its registry),
# the picker's colours, and the hand that drags it.
#
#     source tests/common/desktop.sh ZORVI ZORVI_SETTINGS   (then $@ holds the rest)
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
zorvi=("$1") zs=("$2")
shift 2
export XDG_RUNTIME_DIR=$tmp XDG_CONFIG_HOME=$tmp/config
unset QT_QPA_PLATFORM
# The picker alone: record.sh and takes.sh want the recorder it starts.
export ZORVI_NO_RECORD=1
key=$XDG_CONFIG_HOME/screen-capture-rvk
# The platform's store: clear_store, store NAME VALUE, and stored NAME.
wine=0
if [[ ${zorvi[0]} == *.exe ]]; then
    wine=1
    export WINEPREFIX=$tmp/wine WINEDEBUG=-all WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d'
    unset WINEPATH
    zorvi=(wine "${zorvi[0]}") zs=(wine "${zs[0]}")
    # The prefix links its user folders to the home's: a home of the test's
    # own, so that no take lands in the real one.
    export HOME=$tmp/home
    mkdir -p "$WINEPREFIX" "$HOME"
    wineserver -p
    wineboot --init 2>/dev/null
    # Registry writes are lost unless the server ends on its own.
    trap 'kill $(jobs -p) 2>/dev/null; wineserver -k; wineserver -w; wait; rm -rf "$tmp"' EXIT
    regkey='HKCU\SOFTWARE\screen-capture-rvk'
    clear_store() { wine reg delete "$regkey" /f >/dev/null 2>&1 || true; }
    store() { wine reg add "$regkey" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null; }
    stored() { "${zs[@]}" get "$1" | tr -d '\r'; }
else
    clear_store() { rm -rf "$XDG_CONFIG_HOME"; mkdir -p "$key"; }
    store() { echo "$2" >"$key/$1"; }
    stored() { echo $(("$(<"$key/$1")")); }
fi
title=48a4f6 frame=d42b10 root=336699
# runs IMAGE WxH+X+Y: the colours along a line of an image file, or of the
# screen as a person sees it (root), as runs of COUNT:RRGGBB.
runs() {
    [[ $2 =~ ^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$ ]] || { echo "bad geometry $2"; return; } # ImageMagick spins on 1x1++
    if [ "$1" = root ]; then
        import -window root -crop "$2" -depth 8 rgb:-
    else
        convert "$1" -crop "$2" +repage -alpha off -depth 8 rgb:-
    fi | od -An -v -tx1 -w3 | uniq -c | awk '{ printf "%d:%s%s%s ", $1, $2, $3, $4 }'
}
is() { [ "$(runs root "1x1+$1+$2")" = "1:$3 " ]; }
geometry() { xwininfo -id "$window" | awk '/Absolute upper-left [XY]|Width|Height/ { printf "%s ", $NF }'; }
at() { [ "$(geometry)" = "$* " ]; }
region() { "${zs[@]}" region "$@" | tr -d '\r'; }
ended() { [ ! -e "/proc/$picker" ] || [ "$(cut -d ' ' -f 3 "/proc/$picker/stat")" = Z ]; }
up() { window=$(xdotool search --onlyvisible --pid "$picker") && [[ $(geometry) == "100 100 "* ]]; }
# start NAME=VALUE...: a picker on a fresh key holding these values, up at (100, 100).
start() {
    clear_store
    for value in "$@"; do store "${value%=*}" "${value#*=}"; done
    launch
}
# first_start: as a new user starts it, on the key zorvi-settings init makes and nothing else.
first_start() {
    clear_store
    [ $wine = 1 ] || rm -rf "$key"
    "${zs[@]}" init >/dev/null || fail "no key"
    launch
}
launch() {
    "${zorvi[@]}" &
    picker=$!
    within 30 up || fail "no window at (100, 100)" # Wine on a busy machine takes its time
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

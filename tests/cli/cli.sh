#!/bin/bash
# zorvi-settings as an installer or a script runs it: exit codes, what it
# prints, and what it leaves in the key. Prints a line for each expectation
# that fails and exits 1 if any did.
#
#     tests/cli/cli.sh ZORVI_SETTINGS
source "$(dirname "$0")/../common/check.sh"
zs=$1
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp
key=$XDG_CONFIG_HOME/screen-capture-rvk

# expect CODE TEXT ARGUMENTS...: the exit status, and exactly TEXT on stdout
# when it is 0, TEXT within the message on stderr otherwise.
expect() {
    local want=$1 text=$2
    shift 2
    timeout 10 "$zs" "$@" >"$tmp/out" 2>"$tmp/err" # a watch that runs fails, not hangs
    code=$? out=$(<"$tmp/out") err=$(<"$tmp/err")
    if [ "$want" = 0 ]; then
        [ "$code" = 0 ] && [ "$out" = "$text" ] || fail "$*: $code '$out' $err"
    else
        [ "$code" = "$want" ] && [[ $err == *"$text"* ]] || fail "$*: $code '$err', wanted $want '$text'"
    fi
}
# put NAME VALUE...: each through the store, as the picker writes it.
put() {
    for ((; $# > 1; )); do
        "$zs" set "$1" "$2"
        shift 2
    done
}
lines() { [ "$(wc -l <"$1")" -ge "$2" ]; }

# Misuse is refused before anything looks for the key; without one, the rest fails.
while IFS='|' read -r want text arguments; do
    eval "expect $want \"\$text\" $arguments"
done <<'EOF'
2|usage|
2|frobnicate|frobnicate
2|'0'|init --border 0
2|'11'|init --border 11
2|'4x'|init --border=4x
2|--border|init --border
2|NAME|get
2|bogus not in|get bogus
2|--json|list --json
2|'%q'|region --format %q
2|'%X'|region --format %X
2|end|region --format %g%
2|excludes|region --json --format %x
2|'0'|record --fps 0
2|'121'|record --fps 121
1|zorvi-settings init|list
1|zorvi-settings init|region
1|zorvi-settings init|watch
1|zorvi-settings init|record
EOF
[[ $("$zs" region --help) == *"shared lock"* ]] || fail "region --help"
[ ! -e "$XDG_CONFIG_HOME" ] || fail "a key was made"

# A private key, created once; a value found there is never overwritten.
expect 0 "created $key" init --border 3
same "$(stat -c %a "$XDG_CONFIG_HOME" "$key" | tr '\n' ' ')" "700 700 "
same "$(<"$key/capture_border")$(<"$key/show_capture")" "$(printf '%11s' 3 1)"
printf 'thick\n' >"$key/capture_border"
put show_capture 0
expect 0 "exists $key" init --border 7
[[ $err == *"not a DWORD; left"* ]] || fail "init again: $err"
same "$(<"$key/capture_border")$(<"$key/show_capture")" "thick$(printf '%11s' 0)"

# set takes a decimal int32 and a known name, nothing else.
while IFS='|' read -r arguments stored; do
    put start_x 42
    eval "\"\$zs\" set $arguments 2>/dev/null"
    same "$? $(<"$key/start_x")" "$([ "$stored" = 42 ] && echo 2 || echo 0) $(printf '%11s' "$stored")"
done <<'EOF'
start_x 100|100
start_x -2147483648|-2147483648
start_x 2147483647|2147483647
start_x 007|7
start_x 12abc|42
start_x 2147483648|42
start_x -2147483649|42
start_x ''|42
start_x -|42
start_x ' 5'|42
start_x +5|42
start_x 0x10|42
START_X 1|42
.start_x 1|42
EOF
same "$(ls -A "$key" | tr '\n' ' ')" "capture_border show_capture start_x "

# An absent value is told from one that is no DWORD.
rm -r "${key:?}"/*
put start_x 100
printf '4294967295\n' >"$key/screen_scale"
printf 'abc\n' >"$key/start_y"
mkdir "$key/capture_width"
printf ' 1\n' >"$key/show_capture"
: >"$key/open_cam"
ln -s nowhere "$key/capture_border" # never followed
expect 0 "start_x         100
start_y         (not a DWORD)
capture_width   (not a DWORD)
capture_height  (absent)
show_capture    1
open_cam        (not a DWORD)
capture_border  (not a DWORD)
screen_scale    -1" list
expect 0 -1 get screen_scale
expect 1 "(not a DWORD)" get start_y
expect 1 "(absent)" get capture_height

# The region, whole, in the shape a capture program takes.
rm -r "${key:?}"/*
put start_x -5 start_y 20 capture_width 600 capture_height 338 open_cam 0
expect 0 "-5 20 600 338" region
expect 0 '{"x":-5,"y":20,"width":600,"height":338}' region --json
expect 0 "%x -5 20 600 338 600x338+-5+20 100%" region --format "%%x %x %y %w %h %g 100%%"
expect 0 "596x334+-3+22" region --inner --format %g # no capture_border: 2 pixels
put capture_border 10 capture_width 20
expect 1 "no inside" region --inner
rm "$key/capture_height"
expect 1 "capture_height (absent)" region

# watch: every value, then each change at once; region --follow: each move.
# Each change is seen before the next is made: a watch that wakes late prints
# the changes it finds together, in the values' order.
put capture_width 600 capture_height 338
"$zs" watch --json >"$tmp/watch" &
watch=$!
"$zs" region --follow --format %x,%y >"$tmp/follow" &
follow=$!
within 10 lines "$tmp/watch" 8 && within 10 lines "$tmp/follow" 1 || fail "watch or follow silent"
put start_x -5 # unchanged
seen=9
for value in open_cam=1 capture_width=480 capture_height=270 start_x=30 start_y=40; do
    put "${value%=*}" "${value#*=}"
    within 10 lines "$tmp/watch" $((seen++)) || fail "$value not seen"
done
followed() { [ "$(tail -n 1 "$tmp/follow")" = 30,40 ]; }
within 10 followed || fail "follow ended at $(tail -n 1 "$tmp/follow")"
kill -TERM $watch $follow
wait $watch
same "$? $(sed -n '8,13p' "$tmp/watch")" '0 {"name":"screen_scale","value":null,"state":"absent"}
{"name":"open_cam","value":1}
{"name":"capture_width","value":480}
{"name":"capture_height","value":270}
{"name":"start_x","value":30}
{"name":"start_y","value":40}'
wait $follow
same "$? $(head -n 1 "$tmp/follow") $(uniq -d "$tmp/follow")" "0 -5,20 " # each region once
# A key moved away is gone for a watch: it ends, and says so.
"$zs" watch >"$tmp/watch" 2>"$tmp/err" &
watch=$!
within 10 lines "$tmp/watch" 8 || fail "watch silent"
mv "$key" "$key.away"
within 10 eval '! kill -0 $watch 2>/dev/null' || kill $watch
wait $watch
same "$? $(grep -c 'went away' "$tmp/err")" "1 1"
mv "$key.away" "$key"

# What record needs before it grabs anything, each told apart.
# A Wayland session asks the desktop's portal, over the session bus; --on-wayland grabs from X.
XDG_SESSION_TYPE=wayland DBUS_SESSION_BUS_ADDRESS=unix:path=$tmp/nobus expect 1 "no session bus" record
WAYLAND_DISPLAY=wayland-0 DISPLAY= expect 1 "no X display" record --on-wayland
WAYLAND_DISPLAY= XDG_SESSION_TYPE= DISPLAY= expect 1 "no X display" record
WAYLAND_DISPLAY= XDG_SESSION_TYPE= DISPLAY=:99999 expect 1 "cannot open the X display :99999" record
exit $failed

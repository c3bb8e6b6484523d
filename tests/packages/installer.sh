#!/bin/bash
# The Windows installer as a user runs it, silently, under Wine in a fresh prefix: installs,
# runs the installed picker through the end-to-end script, starts it from its menu entry (its
# recorder beside it, a take), installs again over the user's values and while the picker
# runs, and uninstalls, which keeps the takes. Runs inside xsession.sh.
#     tools/xsession.sh tests/packages/installer.sh SETUP UNZIPPED VERSION CHECK...
source "$(dirname "$0")/../common/check.sh"
setup=$1 unzipped=$2 version=$3
shift 3
# winemenubuilder would make the shortcut a menu entry of this machine.
# The prefix links its user folders to the home's: one of the test's own.
export WINEPREFIX=$tmp/wine WINEDEBUG=-all WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;winemenubuilder.exe=d'
export HOME=$tmp/home
mkdir -p "$WINEPREFIX" "$HOME" && wineserver -p && wineboot --init 2>/dev/null
trap 'kill $(jobs -p) 2>/dev/null; wineserver -k; wineserver -w; wait; rm -rf "$tmp"' EXIT
path() { winepath -u "$(wine cmd /c echo "$1" | tr -d '\r"')"; } # echo keeps the quotes
folder=$(path '%LOCALAPPDATA%\Programs\Zorvi') lnk=$(path '%APPDATA%\Microsoft\Windows\Start Menu\Programs\Zorvi.lnk')
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvi' key='HKCU\SOFTWARE\screen-capture-rvk'
install() { timeout 300 wine "$setup" /S; }
zs() { wine "$folder/zorvi-settings.exe" "$@" | tr -d '\r'; }
value() { wine reg query "$1" /v "$2" | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z]* *//p"; }
uninstall() { # as a script would, through the entry; the uninstaller returns at once and removes it last
    eval "wine $(value "$entry" QuietUninstallString) $*"
    within 120 eval '! wine reg query "$entry" >/dev/null 2>&1' || fail "not uninstalled"
}

install
same "$? $(zs get show_capture) $(diff -r "$unzipped" "$folder")" "0 1 Only in $folder: uninstall.exe"
same "$(wine "$folder/zorvi.exe" --version | tr -d '\r' | head -n 1) $(zs --version | head -n 1) $(value "$entry" DisplayVersion)" \
    "zorvi $version zorvi-settings $version $version"
for exe in zorvi zorvi-settings; do # what Explorer's properties show
    same "$(x86_64-w64-mingw32-windres -i "$folder/$exe.exe" -O rc | grep -Ec "FILEVERSION ${version/./, }, 0, 0|\
\"(ProductName|ProductVersion|OriginalFilename)\", \"(Zorvi|$version|$exe.exe)\"|BLOCK \"040904B0\"|n\", 0x409, 1200")" 6
done
"$(dirname "$0")/../e2e/picker.sh" "$folder/zorvi.exe" "$folder/zorvi-settings.exe" "$@" || fail "the installed picker"

zs set capture_border 5 && zs set show_capture 0 && install
same "$? $(zs get capture_border) $(zs get show_capture)" "0 5 0"
[ -f "$lnk" ] && timeout 60 wine start /unix "$lnk" # start waits on a message box if it cannot
within 30 eval 'window=$(xdotool search --onlyvisible --class "^zorvi.exe$")' || fail "the shortcut started no picker"
within 30 eval '[ "$(pgrep -fc "zorvi-settings.exe.* record")" = 1 ]' || fail "the shortcut's picker started no recorder"
zs set open_cam 1 && sleep 2 && zs set open_cam 0
plays() { take=$(find -L "$WINEPREFIX/drive_c/users" -name 'zorvi-*.mkv' | head -n 1) && [ -n "$take" ] &&
    awk -v d="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$take")" 'BEGIN { exit !(d >= 1) }'; }
within 30 plays || fail "the installed picker's recorder left no take that plays"
install; same "$?" 2 # refused while the picker runs
wmctrl -i -c "$window"
within 30 eval '! xdotool search --onlyvisible --class "^zorvi.exe$"' || fail "the picker did not close"

echo mine >"$folder/mine.txt"
uninstall
same "$(ls -A "$folder") $(ls "$lnk" 2>&1 >/dev/null | grep -c 'No such') $(value "$key" capture_border)" "mine.txt 1 0x5"
[ -f "${take:-}" ] || fail "the uninstaller took the take ${take:-}"
rm "$folder/mine.txt" && install && uninstall /REMOVESETTINGS
same "$(ls "$folder" 2>&1 | grep -c 'No such') $(wine reg query "$key" 2>&1 | grep -c HKEY)" "1 0"
exit $failed

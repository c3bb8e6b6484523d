#!/bin/bash
# The Windows installer as a user runs it, silently, under Wine in a fresh
# prefix: it installs the package's files, the Start-menu shortcut, the
# uninstall entry and the settings key (show_capture 1); the installed
# picker passes the same end-to-end script as the unzipped package; run
# again over a key the user changed, and while the picker runs, it keeps every
# value; the uninstaller removes what was installed and leaves the key, unless
# told to remove it too. Runs inside xsession.sh; prints a line for each
# expectation that fails and exits 1 if any did.
#
#     tools/xsession.sh tests/packages/installer.sh SETUP UNZIPPED VERSION CHECK...
#         (UNZIPPED: the zip's folder; CHECKs: tests/e2e/picker.sh's)
source "$(dirname "$0")/../common/check.sh"
setup=$1 unzipped=$2 version=$3
shift 3
e2e=$(cd "$(dirname "$0")/../e2e" && pwd)
# winemenubuilder would turn the shortcut into a menu entry of this machine.
export WINEPREFIX=$tmp/wine WINEDEBUG=-all
export WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d;winemenubuilder.exe=d'
unset WINEPATH
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init 2>/dev/null
# Registry writes are lost unless the server ends on its own.
trap 'kill $(jobs -p) 2>/dev/null; wineserver -k; wineserver -w; wait; rm -rf "$tmp"' EXIT

windows_path() { wine cmd /c echo "$1" | tr -d '\r'; }
folder=$(windows_path '%LOCALAPPDATA%\Programs\Zorvi')
installed=$(winepath -u "$folder")
shortcut=$(winepath -u "$(windows_path '%APPDATA%\Microsoft\Windows\Start Menu\Programs\Zorvi.lnk')")
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvi'
settings_key='HKCU\SOFTWARE\screen-capture-rvk'
install() { timeout 300 wine "$setup" /S "$@"; }
value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
get() { wine "$installed/zorvi-settings.exe" get "$1" 2>/dev/null | tr -d '\r'; }
# The package's files, each the same, and the uninstaller.
files_installed() {
    local listing file
    listing=$(cd "$installed" && find . -type f ! -name uninstall.exe | sort)
    same "$listing" "$(cd "$unzipped" && find . -type f | sort)"
    for file in $listing; do
        cmp -s "$unzipped/$file" "$installed/$file" || fail "$file differs"
    done
    [ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
}
# The uninstaller runs from a copy of itself and returns at once; the entry
# it removes last says when it is done.
uninstall() {
    wine "$installed/uninstall.exe" /S "$@"
    within 120 eval '! wine reg query "$uninstall_key" >/dev/null 2>&1' || fail "not uninstalled"
}

install
same "$? $(get show_capture) $(get capture_border)" "0 1 "
files_installed
# The shortcut starts the installed picker, shown with its icon.
same "$(strings "$shortcut" | grep -Fxc "$folder\\zorvi.exe")" 1
same "$(strings -el "$shortcut" | grep -Fc "$folder\\zorvi.exe")" 1
same "$(value "$uninstall_key" DisplayName) $(value "$uninstall_key" DisplayVersion)" "Zorvi $version"
same "$(value "$uninstall_key" UninstallString)" "\"$folder\\uninstall.exe\""
same "$(value "$uninstall_key" QuietUninstallString)" "\"$folder\\uninstall.exe\" /S"

"$e2e/picker.sh" "$installed/zorvi.exe" "$installed/zorvi-settings.exe" "$@" ||
    fail "the installed picker failed the end-to-end run"

# Installed again over what the user set: nothing is overwritten.
wine "$installed/zorvi-settings.exe" set capture_border 5
wine "$installed/zorvi-settings.exe" set show_capture 0
install
same "$? $(get capture_border) $(get show_capture)" "0 5 0"
files_installed

# Started from the shortcut, the picker holds its files: a new install
# refuses at once and changes nothing.
wine start /unix "$shortcut"
within 30 eval 'window=$(xdotool search --onlyvisible --class "^zorvi.exe$")' ||
    fail "the shortcut started no picker"
install
same "$?" 2
wmctrl -i -c "$window"
within 30 eval '! xdotool search --onlyvisible --class "^zorvi.exe$" >/dev/null' ||
    fail "the picker did not close"

# A file of the user's in the program's folder survives the uninstaller;
# the settings key does too, unless the user asks.
echo mine >"$installed/mine.txt"
uninstall
same "$(cd "$installed" && find . | sort | tr '\n' ' ')" ". ./mine.txt "
[ ! -e "$shortcut" ] || fail "the shortcut stayed"
same "$(value "$settings_key" capture_border)" 0x5
rm "$installed/mine.txt"
install
uninstall /REMOVESETTINGS
[ ! -e "$installed" ] || fail "$installed stayed"
wine reg query "$settings_key" >/dev/null 2>&1 && fail "the settings key stayed"
exit $failed

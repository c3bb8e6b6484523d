#!/bin/bash
# The Debian package as a user gets it, unpacked into a throwaway root, and started from its
# menu entry, which creates the key the picker then keeps. Runs inside xsession.sh.
#     tools/xsession.sh tests/packages/deb.sh FOLDER VERSION   (FOLDER holds the .deb)
source "$(dirname "$0")/../common/desktop.sh" zorvi zorvi-settings
deb=$1/zorvi_$2_$(dpkg --print-architecture).deb root=$tmp/root
dpkg-deb -x "$deb" "$root" || { fail "no $deb"; exit 1; }
zs=("$root/usr/bin/zorvi-settings")
names() { echo " $(dpkg-deb -f "$deb" "$1" | sed 's/([^)]*)//g; s/[,|]/ /g') "; }
licence="Licence GPL-3.0-or-later: free to share and change, with no warranty."
grep -q '^License: GPL-3+$' "$root/usr/share/doc/zorvi/copyright" || fail "no licence in the copyright file"
for program in "$root"/usr/bin/*; do
    # No display needed, nor the picker's single-instance lock.
    version=$(env -u DISPLAY flock "$XDG_RUNTIME_DIR/SCRM-TAVRO.lock" "$program" --version)
    same "${version%%$'\n'*} ${version##*$'\n'}" "${program##*/} $2 $licence"
    [[ $(man -M "$root/usr/share/man" -w "${program##*/}") == "$root"/* ]] || fail "no man page: $program"
    for library in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
        path=$(ldconfig -p | awk -v l="$library" '$1 == l && /x86-64/ { print $NF; exit }')
        owner=$(dpkg -S "${path#/usr}" 2>/dev/null || dpkg -S "/usr${path#/usr}") # merged /usr
        [[ $(names Depends) == *" ${owner%%:*} "* ]] || fail "$library: '$owner' not in$(names Depends)"
    done
done
entry() { sed -n "/^\[Desktop Entry/,/^\[/ s/^$1=//p" "$root/usr/share/applications/zorvi.desktop"; }
compgen -G "$root/usr/share/icons/hicolor/*/apps/$(entry Icon).png" >/dev/null || fail "no icon"
lintian --fail-on error "$deb" || fail "lintian found errors"

from_menu() { # as a desktop's menu starts it, the package's programs first on the PATH
    (PATH=$root/usr/bin:$PATH && eval "exec $(entry Exec)") &
    picker=$!
    within 30 up || fail "no window at (100, 100) from the menu"
}
rm -rf "$XDG_CONFIG_HOME"
from_menu # the first start: no key yet
drag 680 108 917 259
within 10 at 337 251 600 359 || fail "not dragged: $(geometry)"
same "$(stored show_capture) $(region --format '%x %w %h')" "1 337 600 338"
kill "$picker" && wait "$picker"
store capture_border 5 && store show_capture 0
from_menu # again: nothing is overwritten
same "$(stored capture_border) $(stored show_capture)" "5 0"
exit $failed

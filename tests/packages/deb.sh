#!/bin/bash
# The Debian package as a user gets it: unpacked into a throwaway root, with
# its files where the desktop entry and the man pages say, a dependency on
# the package of every library its programs are linked with, no lintian
# error, and a first start from the menu entry that creates the key the
# picker then keeps, never overwritten by a later start. Runs inside
# xsession.sh; prints a line for each expectation that fails and exits 1 if
# any did.
#
#     tools/xsession.sh tests/packages/deb.sh FOLDER VERSION   (FOLDER holds the .deb)
source "$(dirname "$0")/../e2e/desktop.sh" zorvi zorvi-settings
version=$2
deb=$1/zorvi_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $deb"; exit 1; }
root=$tmp/root
dpkg-deb -x "$deb" "$root" || fail "not unpacked"
zs=("$root/usr/bin/zorvi-settings")
field() { dpkg-deb -f "$deb" "$1"; }
names() { echo " $(field "$1" | sed 's/([^)]*)//g; s/[,|]/ /g' | tr -s ' ') "; }

same "$(field Package) $(field Version)" "zorvi $version"

# Every library a program is linked with, found as the dynamic linker finds
# it, belongs to a package that the package depends on.
depends=$(names Depends) checked=0
for program in "$root"/usr/bin/*; do
    for library in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
        path=$(ldconfig -p | awk -v name="$library" '$1 == name && /x86-64/ { print $NF; exit }')
        path=${path#/usr} # merged /usr: dpkg knows either spelling
        owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null) ||
            { fail "$library of $program: no package has it"; continue; }
        [[ $depends == *" ${owner%%:*} "* ]] || fail "$program needs ${owner%%:*} ($library): Depends:$depends"
        checked=$((checked + 1))
    done
done
[ $checked -gt 3 ] || fail "only $checked libraries seen"
[[ $(names Recommends) == *" ffmpeg "* ]] || fail "no ffmpeg recommended for record"

# The desktop entry's icon, in the theme's folder of its size.
desktop=$root/usr/share/applications/zorvi.desktop
entry() { sed -n "s/^$1=//p" "$desktop"; }
icons=("$root"/usr/share/icons/hicolor/*/apps/"$(entry Icon)".png)
[ -f "${icons[0]}" ] || fail "no icon $(entry Icon) in hicolor"
for icon in "${icons[@]}"; do
    size=${icon%/apps/*}
    same "$(identify -format %wx%h "$icon")" "${size##*/}"
done
# A man page for every program, of this version, that man finds and formats
# without a warning.
for program in "$root"/usr/bin/*; do
    page=$(man -M "$root/usr/share/man" -w "${program##*/}" 2>/dev/null)
    [[ $page == "$root"/* ]] || { fail "no man page for ${program##*/}: '$page'"; continue; }
    same "$(zcat "$page" | grep -c "^\.TH .* \"zorvi $version\"")" 1
    same "$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)" ""
done

lintian --fail-on error "$deb" >"$tmp/lintian" 2>&1 || fail "lintian: errors"
grep -v '^running with root' "$tmp/lintian"

# Started as a desktop's menu starts it, with the package's programs first on
# the PATH; the entry is interpreted as a shell would, so it must hold
# nothing that the two would read differently.
command=$(entry Exec)
[[ $command != *[\$\`\\%]* ]] || fail "Exec=$command: needs a launcher's reading"
from_menu() {
    (
        export PATH=$root/usr/bin:$PATH
        eval "exec $command"
    ) &
    picker=$!
    within 10 up || fail "no window at (100, 100) from the menu"
    same "$(readlink "/proc/$picker/exe")" "$root/usr/bin/zorvi"
}
rm -rf "$XDG_CONFIG_HOME"
from_menu # the first start: no key yet
same "$(stored show_capture)" 1
drag 680 108 917 259
within 10 at 337 251 600 359 || fail "not dragged: $(geometry)"
# What it published was kept, and is where the frame is.
read -r x y w h < <(region)
same "$x $w $h" "337 600 338"
within 10 is "${x:-0}" "${y:-0}" "$frame" || fail "no frame at ($x, $y)"
kill "$picker"
wait "$picker"
"${zs[@]}" set capture_border 5
"${zs[@]}" set show_capture 0
from_menu # again: nothing is overwritten
same "$(stored capture_border) $(stored show_capture)" "5 0"
kill "$picker"
exit $failed

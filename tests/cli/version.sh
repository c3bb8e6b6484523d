#!/bin/bash
# What each program says of its version: --version prints exactly "NAME
# VERSION" and exits 0, without a display, before the picker's guard or key
# are touched; a Windows program (run under Wine) also carries the version
# resource that Explorer's properties show. Prints a line for each
# expectation that fails and exits 1 if any did.
#
#     [WINDRES=…] tests/cli/version.sh VERSION PROGRAM...
source "$(dirname "$0")/../common/check.sh"
version=$1
shift
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$tmp XDG_CONFIG_HOME=$tmp/config

for program in "$@"; do
    name=$(basename "$program" .exe)
    if [[ $program == *.exe ]]; then
        timeout 120 wine "$program" --version >"$tmp/out" 2>/dev/null
        same "$? $(tr -d '\r' <"$tmp/out")" "0 $name $version"

        # The strings Explorer shows are looked up under the translation the
        # resource names, so the block must be that one.
        "${WINDRES:-x86_64-w64-mingw32-windres}" -i "$program" -O rc >"$tmp/rc" ||
            fail "$name: no resources"
        numbers=$(IFS=.; read -ra n <<<"$version.0.0.0"; echo "${n[0]}, ${n[1]}, ${n[2]}, ${n[3]}")
        same "$(grep -c "FILEVERSION $numbers\$" "$tmp/rc")" 1
        same "$(grep -c "PRODUCTVERSION $numbers\$" "$tmp/rc")" 1
        same "$(grep -Eo 'BLOCK "[0-9A-F]{8}"|Translation", 0x[0-9a-f]+, [0-9]+' "$tmp/rc" | tr '\n' ' ')" \
            'BLOCK "040904B0" Translation", 0x409, 1200 '
        while read -r field value; do
            same "$(grep -Eo "VALUE \"$field\", \".*\"" "$tmp/rc")" "VALUE \"$field\", \"$value\""
        done <<EOF2
ProductName Zorvi
ProductVersion $version
FileVersion $version
OriginalFilename $name.exe
EOF2
        grep -Eq 'VALUE "FileDescription", "Zorvi .+"' "$tmp/rc" || fail "$name: no description"
        continue
    fi
    # With the picker's single-instance lock held by another process: a
    # version is no second picker.
    flock "$XDG_RUNTIME_DIR/SCRM-TAVRO.lock" timeout 10 "$program" --version >"$tmp/out" 2>"$tmp/err"
    same "$? $(<"$tmp/out")$(<"$tmp/err")" "0 $name $version"
done
[ ! -e "$XDG_CONFIG_HOME" ] || fail "a key was made"
exit $failed

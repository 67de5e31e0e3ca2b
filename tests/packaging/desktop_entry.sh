#!/usr/bin/env bash
# The desktop menu entry starts the program in a per-user directory it makes:
# $XDG_CONFIG_HOME/kalvi7, or ~/.config/kalvi7 when that variable is unset,
# empty or relative. The Exec line is taken from the entry itself, unquoted
# by the desktop entry rules (string escapes, then double-quoted arguments
# whose escapes are those of the shell), and run with a stand-in kalvi7 that
# reports the directory it was started in.
#   desktop_entry.sh KALVI7.DESKTOP
set -uo pipefail
entry=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
printf '#!/bin/sh\npwd >"%s/started-in"\n' "$work" >"$work/bin/kalvi7"
chmod +x "$work/bin/kalvi7"

line=$(sed -n 's/^Exec=//p' "$entry")
[ -n "$line" ] || { echo "FAIL: no Exec line in $entry" >&2; exit 1; }
line=${line//\\\\/\\}
eval "set -- $line"
exec_argv=("$@")

# HOME  XDG_CONFIG_HOME (- for unset)  expected directory
check() {
    local home=$1 xdg=$2 expected=$3
    rm -f "$work/started-in"
    mkdir -p "$home"
    local env_args=(HOME="$home" PATH="$work/bin:/usr/bin:/bin")
    [ "$xdg" = - ] || env_args+=(XDG_CONFIG_HOME="$xdg")
    (cd / && env -i "${env_args[@]}" "${exec_argv[@]}") ||
        fail "HOME=$home XDG_CONFIG_HOME=$xdg: the Exec line failed"
    local got
    got=$(cat "$work/started-in" 2>/dev/null)
    [ "$got" = "$expected" ] || fail "HOME=$home XDG_CONFIG_HOME=$xdg: started in '$got', not '$expected'"
    [ -d "$expected" ] && [ "$(stat -c %a "$expected")" = 700 ] ||
        fail "$expected is not a directory of mode 700"
}

check "$work/home" - "$work/home/.config/kalvi7"
check "$work/home" "" "$work/home/.config/kalvi7"
check "$work/home" "relative/config" "$work/home/.config/kalvi7"
check "$work/home" "$work/xdg" "$work/xdg/kalvi7"
check "$work/my home" - "$work/my home/.config/kalvi7"
check "$work/home" "$work/xdg \$dir" "$work/xdg \$dir/kalvi7"

# A second start finds the directory and what the program left there.
echo '[Port1 setting]' >"$work/home/.config/kalvi7/settings.INI"
check "$work/home" - "$work/home/.config/kalvi7"
grep -q 'Port1' "$work/home/.config/kalvi7/settings.INI" || fail "settings.INI lost on a second start"

# A directory that cannot be made stops the start rather than running the
# program somewhere else.
rm -f "$work/started-in"
touch "$work/file"
env -i HOME="$work/file" PATH="$work/bin:/usr/bin:/bin" "${exec_argv[@]}" 2>/dev/null &&
    fail "the Exec line succeeded though ~/.config cannot be made"
[ ! -e "$work/started-in" ] || fail "the program was started though its directory could not be made"

exit $((failures > 0))

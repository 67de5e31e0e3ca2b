#!/usr/bin/env bash
# kalvi7 --help and --version answer on a console without a display and
# open no window; an argument of the toolkit's own still reaches the toolkit.
#   command_line.sh KALVI7 VERSION
set -uo pipefail
kalvi7=$(realpath "$1") version=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# No display of any kind, and no platform chosen: opening a window must fail.
# The subshell keeps the shell's own report of an abort out of the log.
run() { (env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
         timeout 20 "$kalvi7" "$@" >"$work/out" 2>"$work/err"; exit $?) 2>/dev/null; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ulimit -c 0

for args in "--version" "-v" "-version" "-platform xcb --version"; do
    # shellcheck disable=SC2086
    run $args; status=$?
    [ "$status" -eq 0 ] || fail "kalvi7 $args: exit status $status: $(cat "$work/err")"
    [ "$(cat "$work/out")" = "kalvi7 $version" ] || fail "kalvi7 $args printed '$(cat "$work/out")'"
    [ ! -s "$work/err" ] || fail "kalvi7 $args wrote to standard error: $(cat "$work/err")"
done

for args in "--help" "-h" "-style fusion --help"; do
    # shellcheck disable=SC2086
    run $args; status=$?
    [ "$status" -eq 0 ] || fail "kalvi7 $args: exit status $status: $(cat "$work/err")"
    grep -q '^Usage: .*kalvi7 \[options\]$' "$work/out" || fail "kalvi7 $args: no usage line"
    grep -q -- '-v, --version' "$work/out" || fail "kalvi7 $args: --version not listed"
    grep -q 'settings.INI' "$work/out" || fail "kalvi7 $args: settings.INI not named"
done

# Single-dash words of the toolkit are not read as bundles of letters: -reverse
# holds a "v" but is the toolkit's right-to-left switch. With no display the
# toolkit then fails to start, which shows the argument reached it.
for args in "-reverse" "-platform" "--no-such-option"; do
    run $args; status=$?
    [ "$status" -ne 0 ] || fail "kalvi7 $args ended with status 0 instead of starting the toolkit"
    ! grep -q "kalvi7 $version\|Usage:" "$work/out" || fail "kalvi7 $args answered as an information option"
    grep -qi 'platform plugin\|display' "$work/err" || fail "kalvi7 $args: the toolkit did not start: $(cat "$work/err")"
done
[ ! -e settings.INI ] || fail "an information option wrote settings.INI"

exit $((failures > 0))

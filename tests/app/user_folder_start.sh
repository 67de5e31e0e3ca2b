#!/usr/bin/env bash
# kalvi7 --user-folder makes its folder and moves into it before the toolkit
# starts, and a folder it cannot have stops it with the reason, in the
# program's own words, before anything is read or written elsewhere.
#   user_folder_start.sh KALVI7
set -uo pipefail
kalvi7=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ulimit -c 0

# No display: the toolkit fails to start, after the folder is made. The
# subshell keeps the shell's own report of the abort out of the log.
start() { (env -i PATH=/usr/bin:/bin "$@" timeout 20 "$kalvi7" --user-folder >"$work/out" 2>"$work/err"
           exit $?) 2>/dev/null; }

# HOME  XDG_CONFIG_HOME (- for unset)  expected folder
check() {
    local home=$1 xdg=$2 expected=$3
    local env_args=(HOME="$home")
    [ "$xdg" = - ] || env_args+=(XDG_CONFIG_HOME="$xdg")
    start "${env_args[@]}"
    [ -d "$expected" ] || fail "HOME=$home XDG_CONFIG_HOME=$xdg: $expected not made"
    [ "$(stat -c %a "$expected" 2>/dev/null)" = 700 ] || fail "$expected is not of mode 700"
    grep -qi 'platform plugin\|display' "$work/err" ||
        fail "HOME=$home XDG_CONFIG_HOME=$xdg: the toolkit was not reached: $(cat "$work/err")"
}
check "$work/home" - "$work/home/.config/kalvi7"
check "$work/home" "relative" "$work/home/.config/kalvi7"
check "$work/home" "$work/xdg" "$work/xdg/kalvi7"

# A file where the folder's parent should be: the reason is told on
# standard error before the toolkit is touched, and the program does not run
# in the directory it was started in. The error box that follows would wait
# for a click, so the offscreen program is ended by the time-out.
touch "$work/file"
(env -i PATH=/usr/bin:/bin HOME="$work/file" QT_QPA_PLATFORM=offscreen timeout 5 "$kalvi7" --user-folder \
    >"$work/out" 2>"$work/err"; exit $?) 2>/dev/null
expected="kalvi7: Ошибка: папка настроек $work/file/.config/kalvi7 не создана."
[ "$(head -n 1 "$work/err")" = "$expected" ] || fail "first line on standard error: $(head -n 1 "$work/err")"
grep -q '(ENOTDIR)\.$' "$work/err" || fail "no reason (ENOTDIR) on standard error: $(cat "$work/err")"
[ ! -e "$work/settings.INI" ] || fail "settings.INI was written in the directory the program was started in"

# --help and --version make no folder.
env -i PATH=/usr/bin:/bin HOME="$work/quiet" "$kalvi7" --user-folder --version >/dev/null 2>&1
[ ! -e "$work/quiet" ] || fail "--version with --user-folder made the folder"

exit $((failures > 0))
